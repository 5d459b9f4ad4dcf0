#!/usr/bin/env bash
# Runs every libFuzzer binary of a build for a bounded time from its committed corpus.
#   tests/fuzz/run-fuzzers.sh BUILD_DIR [SECONDS_EACH] [--grow]
# A crash, leak, hang (over 10 s) or running out of memory fails the run; the input that did it is
# copied into the target's corpus folder, where the ordinary build replays it from then on as a
# regression test. --grow merges the new inputs that reach more code into the committed corpora.
set -uo pipefail
BUILD_DIR="${1:?build folder}"
SECONDS_EACH="${2:-45}"
GROW="${3:-}"
LIST="$BUILD_DIR/tests/fuzz/fuzz-targets.txt"
if [ ! -s "$LIST" ]; then
    echo "No libFuzzer binaries in $BUILD_DIR (clang++ with libFuzzer is needed)" >&2
    exit 1
fi
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
failed=0
while read -r binary corpus arguments; do
    name="$(basename "$binary")"
    found="$WORK/$name-found"
    artifacts="$WORK/$name-artifacts"
    mkdir -p "$found" "$artifacts"
    # shellcheck disable=SC2086 # the target's own options, one word each
    "$binary" -max_total_time="$SECONDS_EACH" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts/" $arguments "$found" "$corpus" \
        >"$WORK/$name.log" 2>&1
    status=$?
    runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$WORK/$name.log")"
    coverage="$(grep -o 'cov: [0-9]*' "$WORK/$name.log" | tail -1)"
    echo "$name: ${runs:-?} runs in ${SECONDS_EACH} s, ${coverage:-cov: ?}, $(ls "$found" | wc -l) new inputs"
    if [ "$status" -ne 0 ]; then
        failed=1
        tail -40 "$WORK/$name.log" >&2
        for artifact in "$artifacts"/*; do
            [ -e "$artifact" ] || continue
            cp "$artifact" "$corpus/$(basename "$artifact")"
            echo "$name: kept $(basename "$artifact") in $corpus as a regression test" >&2
        done
    elif [ "$GROW" = "--grow" ] && [ -n "$(ls "$found")" ]; then
        "$binary" -merge=1 $arguments "$corpus" "$found" >"$WORK/$name.merge.log" 2>&1
    fi
done <"$LIST"
exit "$failed"
