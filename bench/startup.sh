#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# Start-up benchmark: what a whole run of setwalk costs next to the floor (a
# static C program making one write(2) of the same report) and next to
# coreutils printf writing the same text.
#
#   bench/startup.sh [PROGRAM]      (default: build/setwalk)
#
# SETWALK_BENCH_RUNS sets how many runs the wall-time loop makes (300).
# Needs a C compiler with static libc, valgrind, strace, script (util-linux)
# and coreutils. Exits 1 when setwalk runs more than 2.6 times the floor's
# instructions or sends its report into a file, a pipe or a terminal in more
# than one write(2); the wall-time ratio is only printed, since it depends
# on how busy the machine is.
set -eEuo pipefail
trap 'echo "startup.sh: line $LINENO: $BASH_COMMAND failed (status $?)" >&2' ERR

program=$(realpath "${1:-build/setwalk}")
max_ratio=2.6
runs=${SETWALK_BENCH_RUNS:-300}
report='The numbers in set are:\n5 10 15 \nThe numbers in set backward are:\n15 10 5 \n'
printf_cmd=$(type -P printf)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat > "$work/floor.c" <<C
#include <unistd.h>
static const char report[] = "$report";
int main(void) { return write(1, report, sizeof report - 1) != sizeof report - 1; }
C
"${CC:-cc}" -O2 -static "$work/floor.c" -o "$work/floor"
"$work/floor" | cmp -s - <("$program") || { echo "floor and setwalk differ" >&2; exit 1; }

instructions() {
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$1" 2>&1 >/dev/null |
        sed -n 's/.*Collected : \([0-9]*\).*/\1/p'
}
syscalls() {
    strace -f -c -o "$work/calls" "$1" > /dev/null
    awk '$NF == "total" { print $4 }' "$work/calls"
}
# report_writes DESTINATION: how many write(2) calls carry the report into
# a file, a pipe or a terminal (a pseudo-terminal that script(1) makes).
report_writes() {
    local trace=(strace -f -e trace=write -o "$work/writes" "$program")
    case $1 in
    file) "${trace[@]}" > "$work/out" ;;
    pipe) "${trace[@]}" | cat > /dev/null ;;
    terminal) script -qec "${trace[*]@Q}" /dev/null > /dev/null ;;
    esac
    grep -c '^[0-9 ]*write(1,' "$work/writes" || true
}

# Alternate the two so that drift in the machine's load hits both alike.
wall() {
    local i t0 t1 t2 mine=0 theirs=0
    for ((i = 0; i < runs; i++)); do
        t0=${EPOCHREALTIME/./}
        "$program" > /dev/null
        t1=${EPOCHREALTIME/./}
        "$printf_cmd" "$report" > /dev/null
        t2=${EPOCHREALTIME/./}
        mine=$((mine + t1 - t0)) theirs=$((theirs + t2 - t1))
    done
    echo "$mine $theirs"
}

sw_ins=$(instructions "$program") floor_ins=$(instructions "$work/floor")
sw_calls=$(syscalls "$program") floor_calls=$(syscalls "$work/floor")
declare -A writes
for destination in file pipe terminal; do writes[$destination]=$(report_writes "$destination"); done
read -r sw_us printf_us < <(wall)

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
ins_ratio=$(ratio "$sw_ins" "$floor_ins")
wall_ratio=$(ratio "$sw_us" "$printf_us")
per_run() { awk -v t="$1" -v n="$runs" 'BEGIN { printf "%.3f ms", t / n / 1000 }'; }

printf '%-38s %14s %14s %8s\n' "measure" "setwalk" "reference" "ratio"
printf '%-38s %14s %14s %8s\n' "instructions per run (floor)" "$sw_ins" "$floor_ins" "$ins_ratio"
printf '%-38s %14s %14s %8s\n' "system calls per run (floor)" "$sw_calls" "$floor_calls" \
    "$(ratio "$sw_calls" "$floor_calls")"
for destination in file pipe terminal; do
    printf '%-38s %14s %14s %8s\n' "write(2) calls, report to a $destination" \
        "${writes[$destination]}" "1" ""
done
printf '%-38s %14s %14s %8s\n' "wall per run, $runs runs (printf)" \
    "$(per_run "$sw_us")" "$(per_run "$printf_us")" "$wall_ratio"

status=0
if awk -v r="$ins_ratio" -v m="$max_ratio" 'BEGIN { exit !(r > m) }'; then
    echo "FAIL: setwalk runs $ins_ratio times the floor's instructions (at most $max_ratio)"
    status=1
fi
for destination in file pipe terminal; do
    if [ "${writes[$destination]}" -ne 1 ]; then
        echo "FAIL: the report took ${writes[$destination]} write(2) calls into a $destination, not one"
        status=1
    fi
done
exit "$status"
