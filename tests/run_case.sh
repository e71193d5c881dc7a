#!/bin/bash
# One case of the setwalk test suite.
#
#   run_case.sh CASE SYSTEM EXPECTED COMMAND...
#
# CASE names the case, SYSTEM is the platform the program was built for,
# EXPECTED holds the exact report, and COMMAND starts the program (behind an
# emulator when it was cross-built). Exits 0 on pass, 1 on failure, 77 when
# the case cannot run for this platform.
set -u

name=$1 system=$2 expected=$3
shift 3
program=("$@")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out=$work/out err=$work/err
failed=0
newline=$'\n'
[ "$system" != Windows ] || newline=$'\r\n'

fail() { echo "FAIL: $*"; failed=1; }
skip() { echo "skipped: $*"; exit 77; }

# same GOT WANTED: the two files hold the same bytes; show both when not.
same() {
    cmp -s "$2" "$1" && return
    fail "$(basename "$1") differs from $(basename "$2")"
    echo "--- expected:"; od -c "$2"
    echo "--- got:"; od -c "$1"
}
status() { [ "$1" -eq "$2" ] || fail "exit status $1, expected $2"; }
quiet() { [ ! -s "$err" ] || { fail "standard error is not empty:"; cat "$err"; }; }

# A good run: the exact report, status 0, nothing on standard error.
report() { status "$1" 0; same "$out" "$expected"; quiet; }

# A lost report: status 1 and exactly one diagnostic line, giving REASON
# when one is named.
diagnostic() {
    status "$1" 1
    if [ $# -gt 1 ]; then
        printf 'setwalk: write error: %s%s' "$2" "$newline" > "$work/want-err"
        same "$err" "$work/want-err"
    elif [ "$(wc -l < "$err")" -ne 1 ] || ! grep -q '^setwalk: write error' "$err"; then
        fail "expected one diagnostic line on standard error, got:"; cat "$err"
    fi
}

# A pipe whose reader has gone: open the fifo both ways, keep the write end.
# shellcheck disable=SC2094 # both ends of the fifo are opened on purpose
reader_gone() { mkfifo "$work/fifo" && exec 3<> "$work/fifo" 4> "$work/fifo" 3<&-; }

case $name in
report.bytes)
    "${program[@]}" > "$out" 2> "$err"; report $? ;;
ignored.args-options)
    "${program[@]}" --help -h --version -x -- - > "$out" 2> "$err"; report $? ;;
ignored.args-empty)
    "${program[@]}" '' '' > "$out" 2> "$err"; report $? ;;
ignored.args-many)
    mapfile -t many < <(seq 1 5000)
    "${program[@]}" "${many[@]}" > "$out" 2> "$err"; report $? ;;
ignored.stdin-closed)
    "${program[@]}" <&- > "$out" 2> "$err"; report $? ;;
ignored.stdin-eof)
    "${program[@]}" < /dev/null > "$out" 2> "$err"; report $? ;;
ignored.stdin-endless)
    yes | timeout 60 "${program[@]}" > "$out" 2> "$err"; st=$?
    [ "$st" -ne 124 ] || fail "still running after 60 s: it waits for input"
    report "$st" ;;
ignored.env-empty)
    env -i "${program[@]}" > "$out" 2> "$err"; report $? ;;
destination.file)
    # Appending twice: each run adds its whole report to what is there.
    cat "$expected" "$expected" > "$work/want"
    "${program[@]}" >> "$out" 2> "$err"; status $? 0
    "${program[@]}" >> "$out" 2>> "$err"; status $? 0
    same "$out" "$work/want"; quiet ;;
destination.pipe)
    "${program[@]}" 2> "$err" | cat > "$out"; report "${PIPESTATUS[0]}" ;;
destination.null)
    "${program[@]}" > /dev/null 2> "$err"; status $? 0; quiet ;;
destination.concurrent)
    # Every report leaves in one write, which a pipe keeps whole, so 200
    # runs into one pipe give 200 intact reports in some order.
    runs=200
    for ((i = 0; i < runs; i++)); do cat "$expected"; done > "$work/want"
    {
        pids=()
        for ((i = 0; i < runs; i++)); do
            "${program[@]}" 2>> "$err" &
            pids+=($!)
        done
        lost=0
        for pid in "${pids[@]}"; do wait "$pid" || lost=$((lost + 1)); done
        echo "$lost" > "$work/lost"
    } | cat > "$out"
    [ "$(cat "$work/lost")" = 0 ] || fail "$(cat "$work/lost") runs exited non-zero"
    same "$out" "$work/want"; quiet ;;
failure.stdout-closed)
    "${program[@]}" >&- 2> "$err"; diagnostic $? "Bad file descriptor" ;;
failure.device-full)
    [ -c /dev/full ] || skip "this machine has no /dev/full"
    "${program[@]}" > /dev/full 2> "$err"; diagnostic $? "No space left on device" ;;
failure.reader-gone)
    # Like other tools, the program keeps the platform's default: SIGPIPE
    # ends it on POSIX; where there is no such signal the write fails.
    reader_gone
    "${program[@]}" >&4 2> "$err"; st=$?
    if [ "$system" = Windows ]; then
        diagnostic "$st"    # the C runtime's reason: EINVAL or EPIPE
    else
        status "$st" $((128 + $(kill -l PIPE))); quiet
    fi ;;
failure.reader-gone-sigpipe-ignored)
    [ "$system" != Windows ] || skip "Windows has no SIGPIPE to ignore"
    reader_gone
    (trap '' PIPE; exec "${program[@]}" >&4 2> "$err"); diagnostic $? "Broken pipe" ;;
*)
    fail "no case named $name" ;;
esac
exit "$failed"
