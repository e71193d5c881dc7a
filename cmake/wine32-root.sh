#!/bin/bash
# SPDX-License-Identifier: MIT
# SPDX-FileCopyrightText: 2026 The setwalk authors
# A Debian root of setwalk's own, in which 32-bit Windows programs run
# under wine whatever this machine has installed:
#
#   wine32-root.sh make            makes it, or makes it anew when it is
#                                  incomplete or its wine is not the archive's
#   wine32-root.sh run COMMAND...  runs COMMAND in it
#   wine32-root.sh state           says made, stale, incomplete, missing or
#                                  foreign (a folder it did not make)
#   wine32-root.sh where           says where it is
#   wine32-root.sh can             says why it cannot be made or entered
#                                  here (status 1), or nothing
#   wine32-root.sh remove          removes it
#
# The host's own wine32:i386 cannot always be installed: its i386
# dependencies must be the very versions of the amd64 ones installed, and
# the archive's i386 indexes now and then lag amd64's. The root holds
# Debian's amd64 with i386 beside it, both from the main suite alone, whose
# indexes agree; the updates and security suites are left out, since it
# runs only setwalk's own programs, offline. It holds wine32 and wine64 of
# one version: a 32-bit program needs wine32, and one installed into a
# 64-bit prefix, as the installer's trial does, both.
#
# It is made by mmdebstrap in a namespace of its own, as root or as a user
# (then with the subordinate ids of /etc/subuid), so that nothing it mounts
# is seen here; once per machine, under a lock since cases run side by side;
# into a folder beside it, which takes its place only when complete. It is
# kept in SETWALK_WINE32_ROOT, else in setwalk/wine32-root of the cache
# folder (XDG_CACHE_HOME, or ~/.cache): about 1.7 GB. A folder there that
# it did not make is left alone.
#
# COMMAND runs under bubblewrap, in a mount namespace that ends with it:
# nothing is mounted on this machine. The root gives the system, read-only
# (/usr, /etc, /var); every other folder is this machine's, at its own path
# (/home, /tmp, /var/tmp, ...), so that a program, its cases and wine work
# where they would without the root. A folder in the system's (under
# /var/lib, say) is not reached.
set -eEuo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# Without HOME, the home folder is the user's own. The path is made
# absolute, for commands that run elsewhere.
root=$(realpath -ms -- "${SETWALK_WINE32_ROOT:-${XDG_CACHE_HOME:-${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}/.cache}/setwalk/wine32-root}")
# The file that marks the root complete, holding its wine's version; and
# the one that marks a root still being made (in ROOT.new) as setwalk's,
# holding the temporary folder of the mmdebstrap that makes it.
made=$root/.setwalk-wine making=$root.new/.setwalk-making
. /etc/os-release
say() { echo "wine32-root.sh: $*" >&2; }

# archive_wine: the version of wine in the archive's main suite, as this
# machine's apt lists know it; nothing where they do not.
archive_wine() {
    apt-cache madison wine64 2> /dev/null |
        awk -F' *[|] *' -v suite=" $VERSION_CODENAME/main " '$3 ~ suite { print $2; exit }'
}

# foreign: where the root should be, or be made, is a folder that this
# script did not make.
foreign() {
    [ ! -e "$made" ] && { [ -e "$root" ] || { [ -e "$root.new" ] && [ ! -e "$making" ]; }; }
}

state() {
    local archive
    if [ -e "$made" ]; then
        archive=$(archive_wine)
        if [ -n "$archive" ] && [ "$archive" != "$(cat "$made")" ]; then
            echo stale
        else
            echo made
        fi
    elif foreign; then
        echo foreign
    elif [ -e "$root.new" ]; then
        echo incomplete
    else
        echo missing
    fi
}

# bubblewrap refuses to start with capabilities it was not given as a
# setuid program, and a user's namespace (packaging/vary.sh's) hands its
# capabilities down: it starts without them.
bwrap() { if [ "$(id -u)" -eq 0 ]; then command bwrap "$@"; else setpriv --inh-caps=-all --ambient-caps=-all bwrap "$@"; fi; }

# cannot: why the root cannot be made (where it is not made yet) or
# entered here, on one line; nothing where it can.
cannot() {
    local user
    command -v bwrap > /dev/null ||
        { echo "bubblewrap is not installed (as root: apt-get install bubblewrap)"; return; }
    bwrap --ro-bind / / true 2> /dev/null ||
        { echo "bubblewrap cannot make a namespace here: $(bwrap --ro-bind / / true 2>&1 | head -n 1)"; return; }
    [ ! -e "$made" ] || return 0
    ! foreign || { echo "$root or $root.new is a folder that setwalk did not make (set SETWALK_WINE32_ROOT)"; return; }
    command -v mmdebstrap > /dev/null ||
        { echo "mmdebstrap is not installed (as root: apt-get install mmdebstrap)"; return; }
    user=$(id -un)
    if [ "$(id -u)" != 0 ] && ! { command -v newuidmap > /dev/null &&
        grep -q "^$user:" /etc/subuid 2> /dev/null && grep -q "^$user:" /etc/subgid 2> /dev/null; }; then
        echo "mmdebstrap needs subordinate ids for $user (as root: apt-get install uidmap;" \
            "usermod --add-subuids 100000-165535 --add-subgids 100000-165535 $user)"
        return
    fi
    { "$here/../packaging/debian/sources.sh" "$VERSION_CODENAME" > /dev/null; } 2>&1 || true
}

# remove_scratch FOLDER: mmdebstrap's temporary folder FOLDER, where a
# user's mmdebstrap leaves files of its subordinate ids when it is killed:
# those go in its namespace, the user's own after.
remove_scratch() {
    [[ ${1##*/} == tmp.* ]] && [ -d "$1" ] || return 0
    [ "$(id -u)" = 0 ] || mmdebstrap --unshare-helper rm -rf "$1" 2> /dev/null || true
    rm -rf "$1"
}

# remove_tree FOLDER MARK: FOLDER and all in it, folders without write
# permission too, where the file MARK in it says that it is setwalk's root;
# for a root being made, with mmdebstrap's temporary folder. No mount is
# ever made inside either.
remove_tree() {
    [ -e "$1" ] || return 0
    [ -e "$1/$2" ] || { say "$1 is not setwalk's root (it has no $2), so it is left alone"; exit 1; }
    [ "$2" != .setwalk-making ] || remove_scratch "$(cat "$1/$2")"
    chmod -R u+w "$1"
    rm -rf "$1"
}

make_root() {
    local started=$SECONDS new=$root.new version try scratch sources
    mkdir -p "$(dirname "$root")"
    exec 9> "$root.lock"
    flock 9
    case $(state) in
    made) return 0 ;;
    stale) say "the root's wine $(cat "$made") is not the archive's $(archive_wine): making it anew" ;;
    esac
    why=$(cannot)
    [ -z "$why" ] || { say "cannot make the root: $why"; exit 1; }
    sources=$("$here/../packaging/debian/sources.sh" "$VERSION_CODENAME")
    say "making setwalk's root for 32-bit wine in $root (about 1.7 GB, once)"
    # The archive has bad hours (a mirror mid-sync): a failed make is tried
    # once more after a pause.
    for try in 1 2; do
        remove_tree "$new" .setwalk-making
        mkdir "$new"
        # mmdebstrap's own temporary folder, which it removes unless it is
        # killed, is named in the mark, so that the next make removes it.
        scratch=$(mktemp -d)
        # Open to all, as /tmp is: mmdebstrap's namespace writes in it.
        chmod 1777 "$scratch"
        echo "$scratch" > "$making"
        # --mode=unshare: as root too, so that mmdebstrap's mounts stay in
        # its own namespace and go with it, however it ends. The sources
        # reach it on standard input: a sources file named after the root
        # would be copied into its apt under that name, and apt reads no
        # file whose name holds a space.
        TMPDIR=$scratch mmdebstrap --mode=unshare --variant=apt --architectures=amd64,i386 \
            --include=wine32:i386,wine64 --skip=output/dev "$VERSION_CODENAME" - - \
            <<< "$sources" 2> "$root.log" | tar -x -C "$new" 2>> "$root.log" && break
        say "mmdebstrap could not make the root: $(grep -e '^E:' -e '^W:' -e '^Err:' "$root.log" | paste -sd' ')"
        [ "$try" = 1 ] || { remove_tree "$new" .setwalk-making; exit 1; }
        say "once more in 30 s"
        sleep 30
    done
    version=$(dpkg-query --admindir="$new/var/lib/dpkg" -W -f='${Version}' wine64)
    [ "$version" = "$(dpkg-query --admindir="$new/var/lib/dpkg" -W -f='${Version}' wine32:i386)" ] ||
        { say "the root's wine32 and wine64 differ"; exit 1; }
    remove_scratch "$scratch"
    rm "$making"
    echo "$version" > "$new/.setwalk-wine"
    # The complete root takes the place of the old one only now.
    remove_tree "$root.old" .setwalk-wine
    [ ! -e "$root" ] || mv "$root" "$root.old"
    mv "$new" "$root"
    remove_tree "$root.old" .setwalk-wine
    rm -f "$root.log"
    say "made the root, with wine $version, in $((SECONDS - started)) s"
}

run() {
    local entry system=() own=()
    [ -e "$made" ] || { say "setwalk's root for 32-bit wine is not made yet in $root ($0 make makes it)"; exit 126; }
    # The system is the root's /usr, /etc and /var, and its links to them
    # (/bin, /lib, ...).
    for entry in "$root"/*; do
        [ ! -L "$entry" ] || system+=(--symlink "$(readlink "$entry")" "/${entry##*/}")
    done
    system+=(--ro-bind "$root/usr" /usr --ro-bind "$root/etc" /etc --ro-bind "$root/var" /var)
    # Its users are this machine's: wine finds its user's home folder by
    # them where HOME is not set.
    system+=(--ro-bind /etc/passwd /etc/passwd --ro-bind /etc/group /etc/group)
    # Every other folder is this machine's, for every command alike: the
    # wine server that one case starts serves the programs of the next.
    for entry in /* /var/tmp; do
        case $entry in
        /usr | /etc | /var | /bin | /sbin | /lib* | /boot | /proc | /sys | /dev | /run) ;;
        *) [ ! -d "$entry" ] || [ ! -x "$entry" ] || own+=(--bind "$entry" "$entry") ;;
        esac
    done
    bwrap "${system[@]}" --proc /proc --dev /dev --ro-bind /sys /sys --tmpfs /run \
        "${own[@]}" --chdir "$PWD" --die-with-parent -- "$@"
}

case ${1:-} in
make) make_root ;;
run) shift; [ $# -gt 0 ] || exec "$0"; run "$@" ;;
state) state ;;
where) echo "$root" ;;
can) why=$(cannot); [ -z "$why" ] || { echo "$why"; exit 1; } ;;
remove)
    exec 9> "$root.lock"
    flock 9
    remove_tree "$root.new" .setwalk-making
    remove_tree "$root" .setwalk-wine
    rm -f "$root.lock" ;;
*)
    echo "usage: wine32-root.sh make | run COMMAND... | state | where | can | remove" >&2
    exit 2 ;;
esac
