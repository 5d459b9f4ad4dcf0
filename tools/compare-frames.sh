#!/usr/bin/env bash
# Renders the default show with two builds and compares their frames.
#   tools/compare-frames.sh BUILD_A BUILD_B [RENDER OPTION]...
# Each build folder is a run folder (it holds morveldan and data/). Both render --frames at
# 320x240 and 10 fps unless the options say otherwise (e.g. --from 60000 --to 67500 --size
# 640x480). Prints how many frames differ; for each differing frame, the largest difference in
# any colour channel and the share of pixels that changed. Exit status 0 when every frame matches.
set -euo pipefail
usage="usage: compare-frames.sh BUILD_A BUILD_B [RENDER OPTION]..."
a=$(cd "${1:?$usage}" && pwd)
b=$(cd "${2:?$usage}" && pwd)
shift 2
command -v ffmpeg >/dev/null || { echo "compare-frames needs the ffmpeg command" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

render() { # BUILD NAME
    (cd "$1" && env -u DISPLAY ./morveldan --frames "$work/$2" --size 320x240 --fps 10 "${@:3}" \
        >"$work/$2.log" 2>&1) || { echo "render with $1 failed:" >&2; tail -n 3 "$work/$2.log" >&2; exit 2; }
    ffmpeg -v error -framerate 10 -i "$work/$2/frame-%06d.png" -f framemd5 -pix_fmt rgb24 - |
        grep -v '^#' | awk -F, '{gsub(/ /, "", $6); print $6}' >"$work/$2.md5"
}

raw() { # PNG -> rgb24 bytes
    ffmpeg -v error -i "$1" -f rawvideo -pix_fmt rgb24 -
}

render "$a" a "$@"
render "$b" b "$@"
total_a=$(wc -l <"$work/a.md5")
total_b=$(wc -l <"$work/b.md5")
mapfile -t differing < <(paste -d' ' "$work/a.md5" "$work/b.md5" | awk '$1 != $2 {print NR - 1}')
echo "$total_a frames from $a, $total_b from $b; ${#differing[@]} differ"
for index in "${differing[@]}"; do
    name=$(printf 'frame-%06d.png' "$index")
    if [ ! -f "$work/a/$name" ] || [ ! -f "$work/b/$name" ]; then
        echo "  frame $index: only in one of the two"
        continue
    fi
    raw "$work/a/$name" >"$work/a.rgb"
    raw "$work/b/$name" >"$work/b.rgb"
    pixels=$(($(stat -c %s "$work/a.rgb") / 3))
    { cmp -l "$work/a.rgb" "$work/b.rgb" || true; } | awk -v pixels="$pixels" -v index_="$index" '
        function octal(text,  value, i) { value = 0; for (i = 1; i <= length(text); ++i) value = value * 8 + substr(text, i, 1); return value }
        { d = octal($2) - octal($3); if (d < 0) d = -d; if (d > largest) largest = d; changed[int(($1 - 1) / 3)] = 1 }
        END { n = 0; for (p in changed) ++n; printf "  frame %d: largest channel difference %d, %.4f%% of pixels changed\n", index_, largest, 100 * n / pixels }'
done
[ "${#differing[@]}" = 0 ] && [ "$total_a" = "$total_b" ]
