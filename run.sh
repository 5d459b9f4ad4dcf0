#!/usr/bin/env bash
# Set up, build and play the show. Arguments are passed on to morveldan.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$ROOT/tools/setup.sh"
install_missing_packages
build_project
cd "$BUILD_DIR"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: the show needs a screen to play on." >&2
    echo "Render it to a video file instead:  $BUILD_DIR/morveldan --render show.mp4" >&2
    exit 1
fi
exec ./morveldan "$@"
