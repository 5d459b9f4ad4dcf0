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
run_ctest() {
    local ctest=(ctest --output-on-failure -j "$(nproc)" --timeout 300 "$@")
    if [ -z "${DISPLAY:-}" ]; then
        xvfb-run -a -s "-screen 0 1280x1024x24" "${ctest[@]}"
    else
        "${ctest[@]}"
    fi
}
[ "$SANITIZE" = 1 ] || { run_ctest "$@"; exit; }

# LeakSanitizer's own tracer now and then crashes at a process's exit ("Tracer caught signal 11",
# "LeakSanitizer has encountered a fatal error"), on some machines in the same test run after run;
# in a render's segment child only the last line of its log reaches the test's output, the
# tracer's hint ("LeakSanitizer does not work under ptrace"):
# no leak check was made, so nothing is known about that test's leaks. Only when every failure was
# such a crash are the failed tests run again, up to three times. A test whose every run crashed the
# tracer is run once more without the leak check, so that its own assertions still decide, and the
# log names it.
leak_check_crashed_in() { # the output of test $1 in ctest's log holds the tracer's crash
    awk -v name="$1" '$0 ~ "^[0-9]+/[0-9]+ Test: " && $3 == name { inside = 1 }
        inside && /LeakSanitizer has encountered a fatal error/ { found = 1 }
        inside && /HINT: LeakSanitizer does not work under ptrace/ { found = 1 }
        inside && index($0, "\"" name "\" end time") == 1 { inside = 0 }
        END { exit !found }' Testing/Temporary/LastTest.log
}
only_leak_checks_crashed() {
    [ -s Testing/Temporary/LastTestsFailed.log ] || return 1
    while IFS=: read -r _ name; do
        leak_check_crashed_in "$name" || return 1
    done < Testing/Temporary/LastTestsFailed.log
}
run_ctest "$@" && exit 0
for attempt in 1 2 3; do
    only_leak_checks_crashed || exit 1
    echo "Only LeakSanitizer's exit check crashed in the failed tests; running them again" \
        "($attempt of 3)." >&2
    run_ctest --rerun-failed "$@" && exit 0
done
only_leak_checks_crashed || exit 1
echo "LeakSanitizer's tracer crashed in every run of these tests; they run once more without" \
    "the leak check: $(cut -d: -f2 Testing/Temporary/LastTestsFailed.log | tr '\n' ' ')" >&2
ASAN_OPTIONS="$ASAN_OPTIONS:detect_leaks=0" run_ctest --rerun-failed "$@"
