#!/usr/bin/env bash
# Set up, build and play the show. Arguments are passed on to morveldan, which plays the show in
# the build tree unless a show folder is named; the files that --render, --frames, --shot and
# --contact-sheet write are taken relative to the folder run.sh is started from.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$ROOT/tools/setup.sh"
install_missing_packages
build_project

show=("$BUILD_DIR")
offline=false
for argument in "$@"; do
    case "$argument" in
        --render|--frames|--contact-sheet|--shot|--check|--help|-h|--version) offline=true ;;
        -*) ;;
        *) [ -f "$argument/data/demo.txt" ] && show=() ;;
    esac
done

if [ "$offline" = false ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: the show needs a screen to play on." >&2
    echo "Render it to a video file instead (no screen needed):  $0 --render show.mp4" >&2
    exit 1
fi
exec "$BUILD_DIR/morveldan" "${show[@]+"${show[@]}"}" "$@"
