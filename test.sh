#!/usr/bin/env bash
# Set up, build and run every test (GL tests on a virtual display when there is no screen).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$ROOT/tools/setup.sh"
install_missing_packages
build_project
cd "$BUILD_DIR"
CTEST=(ctest --output-on-failure -j "$(nproc)" --timeout 300 "$@")
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24" "${CTEST[@]}"
fi
exec "${CTEST[@]}"
