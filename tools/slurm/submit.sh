#!/bin/bash
# Renders a show on a Slurm cluster: an array job of N segments, then a join job that starts once
# every segment succeeded. Prints the two job ids; logs go to the segment folder beside OUTPUT.
#   submit.sh SHOW_FOLDER OUTPUT N [RENDER OPTIONS...]
# Extra sbatch options come from its environment variables (SBATCH_PARTITION, SBATCH_EXCLUSIVE,
# SBATCH_TIMELIMIT, ...); MORVELDAN names the program on the nodes (default: morveldan from PATH).
set -euo pipefail
if [ $# -lt 3 ] || ! [[ "$3" =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: submit.sh SHOW_FOLDER OUTPUT N [RENDER OPTIONS...]   (N: number of segments)" >&2
    exit 2
fi
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
show="$(realpath "$1")" output="$(realpath -m "$2")" count="$3"
shift 3
segments="$output.segments"
mkdir -p "$segments"
array=$(sbatch --parsable --array="1-$count" --output="$segments/task-%a.log" \
    "$here/segment.sbatch" "$show" "$output" "$count" "$@")
array="${array%%;*}"
join=$(sbatch --parsable --dependency="afterok:$array" --kill-on-invalid-dep=yes \
    --output="$segments/join.log" "$here/join.sbatch" "$show" "$output" "$count" "$@")
echo "segments: job $array (tasks 1-$count), join: job ${join%%;*}; logs in $segments"
