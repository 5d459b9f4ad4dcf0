#!/usr/bin/env bash
# Set up, build and run every test (GL tests on a virtual display when there is no screen).
# --sanitize: the same with AddressSanitizer and UndefinedBehaviorSanitizer, in build-sanitize.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
SANITIZE=0
if [ "${1:-}" = "--sanitize" ]; then
    SANITIZE=1
    shift
    BUILD_DIR="${BUILD_DIR:-$ROOT/build-sanitize}"
fi
source "$ROOT/tools/setup.sh"
install_missing_packages
if [ "$SANITIZE" = 1 ]; then
    # Leaks of the system libraries (GL driver, D-Bus, fonts, GTK) are theirs; any other leak fails.
    export LSAN_OPTIONS="suppressions=$ROOT/tests/sanitizer/lsan-suppressions.txt:print_suppressions=0"
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    build_project -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMORVELDAN_SANITIZE=ON
else
    build_project
fi
cd "$BUILD_DIR"
CTEST=(ctest --output-on-failure -j "$(nproc)" --timeout 300 "$@")
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "${CTEST[@]}"
fi
exec "${CTEST[@]}"
