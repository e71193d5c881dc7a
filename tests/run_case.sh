#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
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

# diagnostic_line REASON: the line the program writes when a write fails.
diagnostic_line() { printf 'setwalk: write error: %s%s' "$1" "$newline"; }

# A lost report: status 1 and exactly one diagnostic line, giving REASON
# when one is named.
diagnostic() {
    status "$1" 1
    if [ $# -gt 1 ]; then
        diagnostic_line "$2" > "$work/want-err"
        same "$err" "$work/want-err"
    elif [ "$(wc -l < "$err")" -ne 1 ] || ! grep -q '^setwalk: write error' "$err"; then
        fail "expected one diagnostic line on standard error, got:"; cat "$err"
    fi
}

# traceable: strace sees the program's own system calls: it runs natively,
# or under qemu-user, which passes the guest's calls through unchanged (not
# under wine or valgrind, which make calls of their own).
traceable() {
    command -v strace > /dev/null || return 1
    [ ${#program[@]} -eq 1 ] || [[ ${program[0]##*/} == qemu-* ]]
}

# console_writes TRACE: how many calls into KERNEL32 wrote to the console or
# a file in wine's relay TRACE, from the program's own thread: the one that
# set the C runtime's application type, as only a program's start-up code
# does (the trace also holds wine's own processes).
console_writes() {
    local thread
    thread=$(sed -n 's/^\([0-9a-f]*\):Call msvcrt\.__set_app_type(.*/\1/p' "$1" | head -n 1)
    [ -n "$thread" ] || { echo "no start-up of the program in wine's relay trace" >&2; echo 0; return; }
    grep -cE "^$thread:Call KERNEL32\.(WriteConsole[AW]|WriteFile)\(" "$1"
}

# A pipe whose reader has gone: open the fifo both ways, keep the write end.
# shellcheck disable=SC2094 # both ends of the fifo are opened on purpose
reader_gone() { mkfifo "$work/fifo" && exec 3<> "$work/fifo" 4> "$work/fifo" 3<&-; }

# on_terminal COMMAND...: run COMMAND with its standard input, output and
# error on an 80x24 terminal made by a private tmux server. Leaves what the
# screen shows in $out (trailing empty rows dropped), the cursor's place as
# column,row in $work/cursor and COMMAND's status in $work/status.
on_terminal() {
    local tmux=(tmux -S "$work/tmux" -f /dev/null)
    # The pane stays on screen after its command has ended. The command
    # signals once it has ended, after the program's last byte reached the
    # terminal, and the signal is kept until the wait below takes it.
    # shellcheck disable=SC2016 # expanded by the shell in the pane
    "${tmux[@]}" start-server \; set -g remain-on-exit on \; \
        set -g remain-on-exit-format '' \; set -g status off \; \
        new-session -d -x 80 -y 24 "$BASH" -c \
        '"${@:3}"; echo $? > "$1"; tmux -S "$2" wait-for -S ended' \
        on-terminal "$work/status" "$work/tmux" "$@"
    if ! timeout 120 "${tmux[@]}" wait-for ended; then
        "${tmux[@]}" kill-server
        echo "FAIL: the program had not ended on the terminal after 120 s"
        exit 1
    fi
    "${tmux[@]}" capture-pane -p -N | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}' > "$out"
    "${tmux[@]}" display -p '#{cursor_x},#{cursor_y}' > "$work/cursor"
    "${tmux[@]}" kill-server
}

case $name in
ignored.stdin-closed)
    "${program[@]}" <&- > "$out" 2> "$err"; report $? ;;
ignored.stdin-endless)
    yes | timeout 60 "${program[@]}" > "$out" 2> "$err"; st=$?
    [ "$st" -ne 124 ] || fail "still running after 60 s: it waits for input"
    report "$st" ;;
ignored.env-empty)
    # A launcher carries the places it works in (wine's prefix, the root
    # for 32-bit wine) in its command, so nothing of this environment passes.
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
        for pid in "${pids[@]}"; do wait "$pid" || echo $? >> "$work/lost"; done
    } | cat > "$out"
    [ ! -s "$work/lost" ] ||
        fail "$(wc -l < "$work/lost") runs exited non-zero, with status $(sort -n "$work/lost" | paste -sd' ')"
    same "$out" "$work/want"; quiet ;;
failure.concurrent)
    # Each diagnostic leaves in one write, so 100 failing runs that share
    # one standard error give 100 whole lines.
    [ -c /dev/full ] || skip "this machine has no /dev/full"
    runs=100
    for ((i = 0; i < runs; i++)); do
        diagnostic_line "No space left on device"
    done > "$work/want-err"
    {
        for ((i = 0; i < runs; i++)); do "${program[@]}" > /dev/full & done
        wait
    } 2>&1 | cat > "$err"
    same "$err" "$work/want-err" ;;
failure.one-write)
    traceable || skip "strace is not installed, or would see only the launcher's calls"
    # A sanitized build's leak checker cannot run under ptrace.
    ASAN_OPTIONS=detect_leaks=0 strace -f -e trace=write -o "$work/calls" \
        "${program[@]}" > /dev/full 2> "$err"
    diagnostic $?
    writes=$(grep -c '^[0-9 ]*write(2,' "$work/calls")
    [ "$writes" -eq 1 ] || fail "the diagnostic took $writes writes, not one" ;;
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
terminal.screen)
    command -v tmux > /dev/null || skip "tmux is not installed"
    # Where it can, the case also counts the writes that carry the report to
    # the terminal: strace sees a native or qemu-user program's system calls,
    # wine's relay trace a Windows program's calls (on standard error, which
    # a good run leaves empty).
    tracer=()
    if traceable; then
        tracer=(env ASAN_OPTIONS=detect_leaks=0 strace -f -e trace=write -o "$work/calls")
    elif [ "$system" = Windows ]; then
        # shellcheck disable=SC2016 # expanded by the inner shell
        tracer=(env WINEDEBUG=+relay "$BASH" -c 'exec "${@:2}" 2> "$1"' relay "$work/relay")
    fi
    on_terminal "${tracer[@]}" "${program[@]}"
    status "$(cat "$work/status")" 0
    writes=
    if traceable; then
        writes=$(grep -c '^[0-9 ]*write(1,' "$work/calls")
    elif [ "$system" = Windows ]; then
        writes=$(console_writes "$work/relay")
    fi
    [ -z "$writes" ] || [ "$writes" -eq 1 ] ||
        fail "the report reached the terminal in $writes writes, not one"
    # The screen is the four lines and the cursor rests at the start of the
    # line below them: nothing else was written, not even a blank line.
    # Wine's console draws a space as an erased cell, so its screen cannot
    # show a trailing space; there the lines are compared without them.
    tr -d '\r' < "$expected" > "$work/want"
    if [ "$system" = Windows ]; then
        sed -i 's/ *$//' "$work/want"
    fi
    same "$out" "$work/want"
    [ "$(cat "$work/cursor")" = "0,$(wc -l < "$work/want")" ] ||
        fail "the cursor ends at column,row $(cat "$work/cursor")" ;;
*)
    fail "no case named $name" ;;
esac
exit "$failed"
