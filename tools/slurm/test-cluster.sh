#!/usr/bin/env bash
# A private one-node Slurm cluster on this machine, for trying the render scripts: munged,
# slurmctld and slurmd from Debian's packages (munge, slurmctld, slurmd, slurm-client), with the
# configuration, state, logs and munge key in one folder and the daemons on free ports, so that
# nothing of the machine's own Slurm set-up is touched. Needs root (slurmd runs jobs as their user).
#
#   test-cluster.sh start FOLDER   starts the cluster (FOLDER is made, or must be empty) and waits
#                                  until its node takes jobs; prints the SLURM_CONF to export
#   test-cluster.sh stop FOLDER    cancels every job, stops the daemons and every process of the
#                                  cluster's jobs; FOLDER stays (its logs are in FOLDER/log)
set -uo pipefail
fail() { echo "test-cluster.sh: $*" >&2; exit 1; }
[ $# -eq 2 ] && { [ "$1" = start ] || [ "$1" = stop ]; } ||
    fail "usage: test-cluster.sh start|stop FOLDER"
action="$1"
cluster="$(realpath -m "$2")"
conf="$cluster/slurm.conf"

slurm() { SLURM_CONF="$conf" "$@"; }

cluster_processes() { # processes started for this cluster (they carry its SLURM_CONF), not ours
    local environ pid
    for environ in /proc/[0-9]*/environ; do
        pid="${environ#/proc/}" pid="${pid%/environ}"
        [ "$pid" != $$ ] && [ "$pid" != "$BASHPID" ] || continue
        grep -qzxF "SLURM_CONF=$conf" "$environ" 2>/dev/null && echo "$pid"
    done
}

stop_processes() { # ask, wait up to 10 s, then force
    [ $# -gt 0 ] || return 0
    kill "$@" 2>/dev/null
    for _ in $(seq 50); do
        kill -0 "$@" 2>/dev/null || return 0
        sleep 0.2
    done
    kill -9 "$@" 2>/dev/null
    return 0
}

stop_cluster() {
    if [ -f "$conf" ]; then
        slurm scancel --quiet --full --user=root 2>/dev/null
        for _ in $(seq 25); do
            [ -z "$(slurm squeue --noheader 2>/dev/null)" ] && break
            sleep 0.2
        done
    fi
    local daemons=()
    [ -f "$cluster/daemons" ] && mapfile -t daemons <"$cluster/daemons"
    stop_processes "${daemons[@]}"
    # shellcheck disable=SC2046 # one pid per word
    stop_processes $(cluster_processes)
    rm -f "$cluster/daemons"
}

if [ "$action" = stop ]; then
    stop_cluster
    exit 0
fi

[ "$(id -u)" -eq 0 ] || fail "a Slurm cluster needs root (slurmd runs jobs as their user)"
for command in munged mungekey slurmctld slurmd sbatch sinfo scontrol squeue scancel; do
    command -v "$command" >/dev/null ||
        fail "$command is missing (Debian packages munge, slurmctld, slurmd, slurm-client)"
done
mkdir -p "$cluster" || fail "unable to make $cluster"
[ -z "$(ls -A "$cluster")" ] || fail "$cluster is not empty"
chmod 755 "$cluster" # munged wants every folder above its socket open to all

listening() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

free_port() { # a TCP port nothing listens on, with the one after it free too
    local port
    while :; do
        port=$((20000 + RANDOM % 20000))
        listening "$port" || listening $((port + 1)) || { echo "$port"; return; }
    done
}

daemon() { # runs a daemon in the foreground of a process of its own, noting its pid
    local log="$1"
    shift
    setsid "$@" >"$log" 2>&1 </dev/null &
    echo $! >>"$cluster/daemons"
}

start_munge() {
    mkdir -m 700 "$cluster/munge-private"
    mkdir -m 755 "$cluster/munge"
    mungekey --create --keyfile="$cluster/munge-private/munge.key" || fail "mungekey failed"
    daemon "$cluster/munged.out" munged --foreground --socket="$cluster/munge/socket" \
        --key-file="$cluster/munge-private/munge.key" --pid-file="$cluster/munge/munged.pid" \
        --seed-file="$cluster/munge-private/seed" --log-file="$cluster/munge-private/munged.log"
    for _ in $(seq 50); do
        [ -S "$cluster/munge/socket" ] && return
        sleep 0.2
    done
    cat "$cluster/munged.out" >&2
    stop_cluster
    fail "munged did not start"
}

write_slurm_conf() {
    local host port
    host="$(hostname -s)" port="$(free_port)"
    mkdir "$cluster/state" "$cluster/spool" "$cluster/log"
    : >"$cluster/plugstack.conf"
    cat >"$conf" <<EOF
ClusterName=morveldan-test
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$cluster/munge/socket
StateSaveLocation=$cluster/state
SlurmdSpoolDir=$cluster/spool
SlurmctldPidFile=$cluster/slurmctld.pid
SlurmdPidFile=$cluster/slurmd.pid
SlurmctldLogFile=$cluster/log/slurmctld.log
SlurmdLogFile=$cluster/log/slurmd.log
PlugStackConfig=$cluster/plugstack.conf
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SwitchType=switch/none
MpiDefault=none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
ReturnToService=2
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=render Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
}

start_slurm() {
    daemon "$cluster/log/slurmctld.out" env SLURM_CONF="$conf" slurmctld -D -i
    daemon "$cluster/log/slurmd.out" env SLURM_CONF="$conf" slurmd -D -N "$(hostname -s)"
    for _ in $(seq 100); do
        [ "$(slurm sinfo --noheader --format=%t 2>/dev/null)" = idle ] && return
        sleep 0.3
    done
    tail -n 20 "$cluster"/log/* >&2
    stop_cluster
    fail "the Slurm node did not come up"
}

start_munge
write_slurm_conf
start_slurm
echo "one-node Slurm cluster up: $(slurm sinfo --noheader --format='%P %D node(s), %c CPUs, %t')"
echo "export SLURM_CONF=$conf"
