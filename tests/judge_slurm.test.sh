#!/usr/bin/env bash
# Grading on a real (one-node) Slurm cluster: starts munged, slurmctld and
# slurmd on localhost from Debian's packages, submits a generated class as an
# array job of shards with merge as a job that depends on it (the job script
# the README shows), waits, and requires the merged lines, CSV and grade book
# to equal one whole run byte for byte. Everything it starts is stopped and its
# scratch folder removed at the end. Skips, with a message, where Slurm
# cannot start (packages missing, not root).
# Usage: judge_slurm.test.sh BUILD_DIR SOURCE_DIR
set -u
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
judge=$build/asmquest-judge
[ -x "$judge" ] || { echo "missing $judge" >&2; exit 1; }

skip() { echo "skip: $*"; exit 0; }
for tool in slurmctld slurmd sbatch squeue sinfo scontrol munged munge unmunge; do
  command -v "$tool" >/dev/null || skip "$tool is not installed (apt-get install slurm-wlm munge)"
done
[ "$(id -u)" -eq 0 ] || skip "starting munged and slurmd needs root"

scratch=$(mktemp -d /tmp/asmquest-slurm.XXXXXX)
chmod 755 "$scratch"
munge_pid=""
started_munge=false
cleanup() {
  for pid_file in "$scratch/slurmd.pid" "$scratch/slurmctld.pid"; do
    [ -s "$pid_file" ] && kill "$(cat "$pid_file")" 2>/dev/null
  done
  sleep 1
  if $started_munge && [ -n "$munge_pid" ]; then kill "$munge_pid" 2>/dev/null; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

# munge: a key of its own unless one is there already, and a daemon unless one runs.
if ! munge -n 2>/dev/null | unmunge >/dev/null 2>&1; then
  mkdir -p /etc/munge /run/munge /var/lib/munge /var/log/munge
  if [ ! -s /etc/munge/munge.key ]; then
    head -c 1024 /dev/urandom >/etc/munge/munge.key
  fi
  chown -R munge: /etc/munge /run/munge /var/lib/munge /var/log/munge 2>/dev/null
  chmod 400 /etc/munge/munge.key
  su -s /bin/sh munge -c munged || skip "munged does not start"
  started_munge=true
  for _ in $(seq 1 20); do [ -s /run/munge/munged.pid ] && break; sleep 0.2; done
  munge_pid=$(cat /run/munge/munged.pid 2>/dev/null)
  munge -n | unmunge >/dev/null 2>&1 || skip "munge does not authenticate"
fi

host=$(hostname -s)
cpus=$(nproc)
memory=$(awk '/MemTotal/ { print int($2 / 1024 / 2) }' /proc/meminfo)
mkdir -p "$scratch/state" "$scratch/spool" "$scratch/log" "$scratch/work"
export SLURM_CONF=$scratch/slurm.conf
cat >"$SLURM_CONF" <<EOF
ClusterName=asmq
SlurmctldHost=$host(127.0.0.1)
AuthType=auth/munge
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SwitchType=switch/none
MpiDefault=none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
StateSaveLocation=$scratch/state
SlurmdSpoolDir=$scratch/spool
SlurmctldPidFile=$scratch/slurmctld.pid
SlurmdPidFile=$scratch/slurmd.pid
SlurmctldLogFile=$scratch/log/slurmctld.log
SlurmdLogFile=$scratch/log/slurmd.log
SlurmUser=root
SlurmdUser=root
ReturnToService=2
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
NodeName=$host NodeAddr=127.0.0.1 CPUs=$cpus RealMemory=$memory State=UNKNOWN
PartitionName=main Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
slurmctld -f "$SLURM_CONF" || skip "slurmctld does not start"
slurmd -f "$SLURM_CONF" || skip "slurmd does not start"
up=false
for _ in $(seq 1 30); do
  sinfo -h -o %T 2>/dev/null | grep -q idle && { up=true; break; }
  sleep 0.5
done
$up || skip "the node did not come up: $(tail -3 "$scratch/log/slurmd.log" 2>/dev/null)"

# A class of 12 students (right and wrong programs), graded on levels 1-6.
work=$scratch/work
bash "$source/bench/generate_class.sh" "$work/class" 12 >/dev/null
cd "$work" || exit 1
"$judge" grade class --levels 1-6 --seed 11 --jobs 1 --csv whole.csv --gradebook whole-book.csv >whole.jsonl 2>/dev/null ||
  { echo "the whole run failed"; exit 1; }

# The job scripts as the README shows them: one array task per shard, merge
# as a job of its own once every task has ended well.
shards=4
cat >grade.sbatch <<EOF
#!/bin/bash
#SBATCH --job-name=asmquest-grade
#SBATCH --array=1-$shards
#SBATCH --ntasks=1
#SBATCH --cpus-per-task=1
#SBATCH --output=grade-%a.log
"$judge" grade class --levels 1-6 --seed 11 --jobs 1 --shard \${SLURM_ARRAY_TASK_ID}/$shards > shard-\${SLURM_ARRAY_TASK_ID}.jsonl
EOF
cat >merge.sbatch <<EOF
#!/bin/bash
#SBATCH --job-name=asmquest-merge
#SBATCH --ntasks=1
#SBATCH --output=merge.log
"$judge" merge --csv merged.csv --gradebook merged-book.csv shard-*.jsonl > merged.jsonl
EOF
array=$(sbatch --parsable --chdir="$work" grade.sbatch) || { echo "sbatch refused the array job"; exit 1; }
merge=$(sbatch --parsable --chdir="$work" --dependency=afterok:"$array" merge.sbatch) ||
  { echo "sbatch refused the merge job"; exit 1; }
for _ in $(seq 1 240); do
  [ -z "$(squeue -h -j "$array,$merge" 2>/dev/null)" ] && break
  sleep 0.5
done
[ -z "$(squeue -h -j "$array,$merge" 2>/dev/null)" ] || { echo "the jobs did not finish in 2 minutes"; squeue; exit 1; }

failures=0
for k in $(seq 1 $shards); do
  [ -s "shard-$k.jsonl" ] || { echo "shard $k wrote nothing: $(cat "grade-$k.log" 2>/dev/null)"; failures=$((failures + 1)); }
  tail -1 "shard-$k.jsonl" | grep -q "\"shardEnd\":\"$k/$shards\"" || { echo "shard $k has no last line"; failures=$((failures + 1)); }
done
for pair in "whole.jsonl merged.jsonl" "whole.csv merged.csv" "whole-book.csv merged-book.csv"; do
  set -- $pair
  cmp -s "$1" "$2" || { echo "$2 differs from $1 (merge.log: $(cat merge.log 2>/dev/null))"; failures=$((failures + 1)); }
done
# s007 handed in one folder deeper, s011 left level 3 out.
grep -q '^s007,1,\(completed\|failed\),' whole.csv || { echo "s007's deeper files were not found"; failures=$((failures + 1)); }
grep -q '^s011,3,not handed in,not handed in,' whole.csv || { echo "s011 level 3 has no row"; failures=$((failures + 1)); }
lines=$(wc -l <whole.jsonl)
[ "$lines" -eq $((12 * 6)) ] || { echo "$lines verdict lines for 12 students x 6 levels"; failures=$((failures + 1)); }

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "a Slurm array of $shards shards and a dependent merge gave the whole run's lines, CSV and grade book"
