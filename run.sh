#!/usr/bin/env bash
# Set up, build and play the show. Arguments are passed on to morveldan; the files named by
# --render, --frames, --contact-sheet and --shot are taken relative to the folder run.sh is
# started from (the program itself runs in the build tree).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
CALLER_DIR="$PWD"
source "$ROOT/tools/setup.sh"
install_missing_packages
build_project

arguments=()
offline=false
pending=""
for argument in "$@"; do
    if [ -n "$pending" ]; then
        case "$pending" in
            path) [[ "$argument" == /* ]] || argument="$CALLER_DIR/$argument" ;;
            shot-time) pending="path"; arguments+=("$argument"); continue ;;
        esac
        pending=""
    else
        case "$argument" in
            --render|--frames|--contact-sheet) pending="path"; offline=true ;;
            --shot) pending="shot-time" ;;
            --help|-h|--version) offline=true ;;
        esac
    fi
    arguments+=("$argument")
done

cd "$BUILD_DIR"
if [ "$offline" = false ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: the show needs a screen to play on." >&2
    echo "Render it to a video file instead (no screen needed):  $0 --render show.mp4" >&2
    exit 1
fi
exec ./morveldan "${arguments[@]+"${arguments[@]}"}"
