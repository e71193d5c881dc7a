# shellcheck shell=bash source=packaging/state.sh
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# The release's jobs: each target's is release.sh --target NAME, in a
# folder of its own, $work/jobs/NAME, which the release keeps; xargs runs
# $jobs of them side by side. A job that fails stops the others.
[ -n "${release_state:-}" ] || . "${BASH_SOURCE[0]%/*}/state.sh"

# run_jobs OPTION...: each target's job, release.sh OPTION... --target
# NAME, in a session of its own (its id in $work/jobs/NAME.session), said
# in $work/jobs/NAME.log; then what each made is the release's (take_jobs).
# A job that fails (it leaves $work/jobs/NAME.failed) stops the others and
# the release, naming its target and showing the end of its log.
run_jobs() {
    local pid failed name first=() then=()
    step "build, test, pack and check each target's downloads: ${#targets[@]} jobs, $jobs side by side"
    mkdir "$work/jobs"
    # The longest first, so that none is left to run alone at the end: the
    # Windows ones, whose suites start wine.
    for name in "${targets[@]}"; do
        if [ "$(target "$name" wine)" = - ]; then then+=("$name"); else first+=("$name"); fi
    done
    # shellcheck disable=SC2016 # expanded by the job's shell
    printf '%s\0' "${first[@]}" "${then[@]}" | xargs -0 -P "$jobs" -I '{}' setsid bash -c '
        jobs=$1 name=$2
        shift 2
        echo "$$" > "$jobs/$name.session"
        echo "release: the job of $name started"
        # A job that fails exits 255, on which xargs starts no other.
        SETWALK_JOB=$jobs/$name "$@" --target "$name" "$jobs/$name/out" > "$jobs/$name.log" 2>&1 ||
            exit 255
        echo "release: the job of $name passed"' \
        job "$work/jobs" '{}' "$packaging/release.sh" "$@" &
    pid=$!
    while kill -0 "$pid" 2> /dev/null; do
        failed=$(find "$work/jobs" -maxdepth 1 -name '*.failed' -printf '%f\n' -quit)
        [ -z "$failed" ] || break
        sleep 1
    done
    if [ -z "$failed" ] && wait "$pid"; then
        take_jobs
        return
    fi
    stop_jobs
    wait "$pid" || true
    failed=$(find "$work/jobs" -maxdepth 1 -name '*.failed' -printf '%f\n' -quit)
    [ -n "$failed" ] || die "the jobs stopped, and none says why"
    failed=${failed%.failed}
    echo "release: the job of $failed failed; the end of its log:" >&2
    tail -n 40 "$work/jobs/$failed.log" | sed 's/^/    /' >&2
    die "the job of $failed failed"
}

# job_ends STATUS: a job's EXIT trap: the checks it skipped, by leave, go
# into its folder's skipped; a job that failed, rather than was stopped,
# leaves NAME.failed beside its folder.
job_ends() {
    step_ends
    [ ${#skipped[@]} -eq 0 ] || printf '%s\n' "${skipped[@]}" > "$work/skipped"
    [ "$1" -eq 0 ] || [ "$1" -gt 128 ] || touch "$work.failed"
}

# stop_jobs: where the jobs were not all taken, every one still running is
# stopped, with all that its session runs (given 30 s to end, then
# killed), and so are the wine servers that the Windows jobs started.
stop_jobs() {
    local file sessions=() session name alive
    for file in "$work"/jobs/*.session; do
        [ ! -e "$file" ] || sessions+=("$(cat "$file")")
    done
    [ ${#sessions[@]} -gt 0 ] || return 0
    for session in "${sessions[@]}"; do pkill -TERM -s "$session" || true; done
    for _ in $(seq 30); do
        alive=''
        for session in "${sessions[@]}"; do ! pgrep -s "$session" > /dev/null || alive=yes; done
        [ -n "$alive" ] || break
        sleep 1
    done
    for session in "${sessions[@]}"; do pkill -KILL -s "$session" || true; done
    for name in "${targets[@]}"; do
        [ "$(target "$name" wine)" = - ] || "$root/cmake/wine-run.sh" "$(target "$name" wine)" --stop
    done
    rm -f "$work"/jobs/*.session
}

# take_jobs: each job's downloads, in $dist; its builds and stages, in
# $work/build and $work/stage; the programs it ships, its checks skipped and
# its steps' times, after the others' in the table's order.
take_jobs() {
    local name job entry download
    for name in "${targets[@]}"; do
        job=$work/jobs/$name
        for entry in "$job"/build/* "$job"/stage/*; do ln -s "$entry" "$work/${entry#"$job"/}"; done
        while read -r download _; do cp "$job/dist/$download" "$dist/"; done < <(downloads_of "$name")
        cat "$job/shipped" >> "$work/shipped"
        [ ! -e "$job/skipped" ] || mapfile -t -O ${#skipped[@]} skipped < "$job/skipped"
    done
    rm "$work"/jobs/*.session
}
