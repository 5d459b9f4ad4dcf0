#!/usr/bin/env bash
# Starts a one-node Slurm cluster with tools/slurm/test-cluster.sh in a temporary folder, renders
# a span of the default show there with tools/slurm/submit.sh (an array job of segments, then the
# join job), and compares the joined file with a one-pass render of the same span: lossless, so
# the decoded frames must be identical; the music too. Prints the log of every array task. The
# daemons and every process of the cluster's jobs end with the test.
# Usage: render-farm.sh BUILD_DIR SOURCE_DIR [--sanitize]
# Exit status 77 (skipped) where a cluster cannot run here: not root, Debian's packages missing,
# or a sanitizer build (the cluster only runs scripts; the program's segment and join code is
# covered by the e2e tests in that pass).
set -uo pipefail
build="$1" source="$2"
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAILED: $*" >&2; exit 1; }

[ "${3:-}" != --sanitize ] || skip "sanitizer build: the Slurm test runs in the normal pass only"
[ "$(id -u)" -eq 0 ] || skip "a private Slurm cluster needs root (slurmd runs jobs as their user)"
for command in munged mungekey slurmctld slurmd sbatch sinfo scontrol squeue scancel ffmpeg; do
    command -v "$command" >/dev/null ||
        skip "$command is missing (Debian packages munge, slurmctld, slurmd, slurm-client, ffmpeg)"
done

# CTest's timeout kills without a chance to tear down: give up on the cluster well before it.
readonly deadline=$((SECONDS + 240))
readonly count=4 span_from=140000 span_to=160000
readonly options=(--size 320x240 --fps 10 --from "$span_from" --to "$span_to" --quality 0)
cluster="$(mktemp -d /tmp/morveldan-slurm.XXXXXX)"
conf="$cluster/slurm.conf"

slurm() { SLURM_CONF="$conf" "$@"; }

teardown() {
    "$source/tools/slurm/test-cluster.sh" stop "$cluster"
    rm -rf "$cluster"
}
trap teardown EXIT
trap "exit 143" TERM INT

job_state() { slurm scontrol show job "$1" 2>/dev/null | grep -o 'JobState=[A-Z_]*' | head -n 1; }

wait_for_job() { # until job $1 ends or the test's time is nearly up; fails unless it completed
    local state
    while [ "$SECONDS" -lt "$deadline" ]; do
        state="$(job_state "$1")"
        case "$state" in
        JobState=COMPLETED) return 0 ;;
        JobState=PENDING | JobState=RUNNING | JobState=CONFIGURING | JobState=COMPLETING | "") ;;
        *) return 1 ;;
        esac
        sleep 0.2
    done
    return 1
}

print_logs() {
    local log
    for log in "$farm"/*.segments/task-*.log "$farm"/*.segments/join.log; do
        [ -f "$log" ] || continue
        echo "---- ${log##*/}"
        # Progress lines and the list of loaded entries left out.
        tr '\r' '\n' <"$log" | grep -Ev '^(Loaded |No errors compiling|lead-in [0-9]|frame [0-9]|$)'
    done
}

decoded() { # frame checksums of stream $2 of file $1, decoded ("v") or as stored ("a")
    if [ "$2" = v ]; then
        ffmpeg -v error -i "$1" -map 0:v -f framemd5 -
    else
        ffmpeg -v error -i "$1" -map 0:a -c copy -f framemd5 -
    fi
}

"$source/tools/slurm/test-cluster.sh" start "$cluster" || fail "the test cluster did not start"

farm="$cluster/farm"
mkdir -m 755 "$farm"
export SDL_AUDIODRIVER=dummy MORVELDAN="$build/morveldan"
submitted="$(slurm "$source/tools/slurm/submit.sh" "$build" "$farm/show.mp4" "$count" \
    "${options[@]}")" || fail "submit.sh failed"
echo "$submitted"
join_job="$(sed -n 's/.*join: job \([0-9]*\).*/\1/p' <<<"$submitted")"

"$build/morveldan" "$build" --render "$farm/one-pass.mp4" "${options[@]}" 2>"$farm/one-pass.log" ||
    { cat "$farm/one-pass.log" >&2; fail "the one-pass render failed"; }

wait_for_job "$join_job"
joined=$?
echo "array tasks and join:"
print_logs
[ "$joined" -eq 0 ] || fail "the join job did not complete ($(job_state "$join_job"))"
[ -s "$farm/show.mp4" ] || fail "the join job wrote no show.mp4"

decoded "$farm/one-pass.mp4" v >"$farm/one-pass.framemd5"
decoded "$farm/show.mp4" v >"$farm/farm.framemd5"
frames=$(grep -vc '^#' "$farm/one-pass.framemd5")
[ "$frames" -gt 0 ] || fail "no frames decoded from the one-pass render"
diff -q "$farm/one-pass.framemd5" "$farm/farm.framemd5" >/dev/null || {
    diff "$farm/one-pass.framemd5" "$farm/farm.framemd5" | head -n 20 >&2
    fail "the decoded frames of the cluster's render differ from the one-pass render's"
}
cmp -s <(decoded "$farm/one-pass.mp4" a) <(decoded "$farm/show.mp4" a) ||
    fail "the music of the cluster's render differs from the one-pass render's"
echo "$count segments on Slurm, joined: $frames frames and the music identical to one pass"
