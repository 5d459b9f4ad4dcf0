#!/usr/bin/env bash
# Set up, build and play the show. Arguments are passed on to morveldan, which plays the show in
# the build tree unless a show folder is named; the files that --render, --frames, --shot and
# --contact-sheet write are taken relative to the folder run.sh is started from. An example show
# of the source tree (examples/NAME) plays from its copy in the build tree, which holds the
# generated files it uses.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$ROOT/tools/setup.sh"
install_missing_packages
build_project

show=("$BUILD_DIR")
offline=false
arguments=()
for argument in "$@"; do
    case "$argument" in
        --render|--frames|--contact-sheet|--shot|--check|--profile|--profile-csv|--help|-h|--version) offline=true ;;
        -*) ;;
        *)
            if [ -f "$argument/data/demo.txt" ]; then
                show=()
                folder=$(cd "$argument" && pwd)
                if [ "$(dirname "$folder")" = "$ROOT/examples" ] && [ -d "$BUILD_DIR/examples/$(basename "$folder")" ]; then
                    argument="$BUILD_DIR/examples/$(basename "$folder")"
                fi
            fi
            ;;
    esac
    arguments+=("$argument")
done
set -- "${arguments[@]+"${arguments[@]}"}"

if [ "$offline" = false ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: the show needs a screen to play on." >&2
    echo "Render it to a video file instead (no screen needed):  $0 --render show.mp4" >&2
    exit 1
fi
exec "$BUILD_DIR/morveldan" "${show[@]+"${show[@]}"}" "$@"
