#!/usr/bin/env bash
# The rooms check passes on the source tree and refuses, naming file and line, an include from a
# room above and one from a room beside, planted in a copy of the tree.
set -euo pipefail
cmake=$1 source=$2 table=$3
check() { "$cmake" -DSOURCE_DIR="$1" -DROOMS_TABLE="$table" -P "$source/cmake/CheckRooms.cmake" 2>&1; }

check "$source/src" || { echo "the source tree fails the check"; exit 1; }

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
cp -r "$source/src" "$tree/src"
lines() { wc -l < "$1"; }
echo '#include "app/Program.h"' >> "$tree/src/render/Texture.cpp"
upward="src/render/Texture.cpp:$(lines "$tree/src/render/Texture.cpp")"
echo '#include "player/RenderWindow.h"' >> "$tree/src/offline/Screenshot.h"
beside="src/offline/Screenshot.h:$(lines "$tree/src/offline/Screenshot.h")"
mkdir "$tree/src/stray" && echo '#include "render/GL.h"' > "$tree/src/stray/Stray.cpp"

if output=$(check "$tree/src"); then
    echo "the check passed a tree with planted includes"; exit 1
fi
echo "$output"
for expected in "$upward: room 'render' includes from room 'app', which it does not link" \
                "$beside: room 'offline' includes from room 'player', which it does not link" \
                "src/stray/: a folder that is no room"; do
    grep -qF "$expected" <<<"$output" || { echo "missing: $expected"; exit 1; }
done
[ "$(grep -c 'which it does not link' <<<"$output")" = 2 ] || { echo "unexpected faults"; exit 1; }
