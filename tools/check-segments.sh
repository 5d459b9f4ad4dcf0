#!/usr/bin/env bash
# Renders the default show in segments and checks every frame against the reference checksums.
#   tools/check-segments.sh BUILD_DIR [SECONDS...]
# For each length (default 7, 15 and 61 seconds) the show of BUILD_DIR is rendered at 320x240,
# 10 fps, losslessly (--quality 0), as --segment K/N files of about that length, joined with
# --join, and the joined file's decoded frames (rgb24) are compared with
# ../shared/reference/default-show-320x240-10fps.md5 (or $REFERENCE). Prints, per length, how
# many frames are identical and how long the segments' lead-ins took. Exit 0 when all match.
set -euo pipefail
build=$(cd "${1:?usage: check-segments.sh BUILD_DIR [SECONDS...]}" && pwd)
shift
lengths=("${@:-7}")
[ $# -gt 0 ] || lengths=(7 15 61)
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
reference=${REFERENCE:-$here/../../shared/reference/default-show-320x240-10fps.md5}
[ -f "$reference" ] || { echo "no reference checksums at $reference (set REFERENCE)" >&2; exit 2; }
command -v ffmpeg >/dev/null || { echo "check-segments needs ffmpeg" >&2; exit 2; }
program=$(find "$build" -maxdepth 2 -type f -name morveldan -perm -u+x | head -n 1)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
grep -v '^#' "$reference" > "$work/reference"
total=$(wc -l < "$work/reference")
status=0
for seconds in "${lengths[@]}"; do
  count=$(( (total + seconds * 10 - 1) / (seconds * 10) ))
  rm -f "$work"/segment-* "$work/joined.mp4"
  leadins=""
  for k in $(seq 1 "$count"); do
    file="$work/segment-$k.mp4"
    (cd "$build" && env -u DISPLAY "$program" --render "$file" --segment "$k/$count" \
       --size 320x240 --fps 10 --quality 0 >"$work/log" 2>&1) || { tail -n 3 "$work/log" >&2; exit 2; }
    leadin=$(tr '\r' '\n' < "$work/log" | sed -n 's/^Lead-in: .* in \([0-9.]*\) s$/\1/p')
    leadins="$leadins ${leadin:-0}"
  done
  (cd "$build" && "$program" --join "$work/joined.mp4" "$work"/segment-*.mp4 >"$work/log" 2>&1) \
    || { tail -n 3 "$work/log" >&2; exit 2; }
  ffmpeg -v error -i "$work/joined.mp4" -map 0:v -f framemd5 -pix_fmt rgb24 - \
    | grep -v '^#' | awk -F, '{gsub(/ /, "", $6); print $6}' > "$work/frames"
  same=$(paste -d' ' "$work/reference" "$work/frames" | awk 'NF == 2 && $1 == $2' | wc -l)
  frames=$(wc -l < "$work/frames")
  echo "segments of about $seconds s ($count): $same of $total frames identical ($frames in the joined file); lead-ins (s):$leadins"
  [ "$same" = "$total" ] && [ "$frames" = "$total" ] || status=1
done
exit $status
