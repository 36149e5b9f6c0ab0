# shellcheck shell=bash
# Sourced by CI's scripts: the Debian releases the project is made for and
# the architectures CI builds Linux for; the host's Debian release; how a
# check fails; what this host may do, decided narrowly; how a check says what
# it had to leave out; a brand-new Debian root; checks run alongside each
# other; and sections.

# Debian 12 and 13, each checked in brand-new roots of its own.
# shellcheck disable=SC2034 # used by the scripts that source this one
debian_releases=(bookworm trixie)
# The release architectures of Debian 12 and 13 besides amd64, each cross-built and tested.
# shellcheck disable=SC2034
linux_arches=(arm64 armel armhf i386 mips64el mipsel ppc64el riscv64 s390x)

# The host's Debian release, by the codename its apt sources use.
host_release=$(sed -n 's/^VERSION_CODENAME=//p' /etc/os-release)

# fail TEXT: ends a check that found a fault, saying what it was.
fail() { echo "FAILED: $*" >&2; exit 1; }
# has GREP-ARGUMENT...: grep, quietly; not grep -q, whose early exit after a
# pipe would fail the writer, and so the pipeline.
has() { grep "$@" >/dev/null; }

# True where this process may not mount: CAP_SYS_ADMIN (21) is not in its
# effective set, as in a container that drops it.
cannot_mount() {
    local effective
    effective=$(awk '$1 == "CapEff:" { print $2 }' /proc/self/status)
    (((16#$effective >> 21 & 1) == 0))
}

# left_out TEXT: a part of a check that cannot run here, said in its output
# and, through CI_NOTES, in CI's summary.
left_out() {
    echo "LEFT OUT: $*"
    [[ -z "${CI_NOTES:-}" ]] || echo "$*" >>"$CI_NOTES"
}

# new_root SUITE TARGET [OPTION...]: a minimal Debian root of SUITE, made
# afresh by mmdebstrap, with OPTIONs (hooks, say), into TARGET, from the
# host's own apt sources, in either form, as mmdebstrap takes them; for
# another release than the host's, with the host's release name changed.
new_root() {
    local suite=$1 target=$2 file sources=() copies status=0
    shift 2
    copies=$(mktemp -d)
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
        [[ -s "$file" ]] || continue
        sed "s/\b$host_release\b/$suite/g" "$file" >"$copies/${file##*/}"
        sources+=("$copies/${file##*/}")
    done
    ((${#sources[@]})) || { rm -rf "$copies"; echo "FAILED: this host has no apt sources" >&2; return 1; }
    mmdebstrap --variant=minbase --quiet "$@" "$suite" "$target" "${sources[@]}" || status=$?
    rm -rf "$copies"
    return "$status"
}

# Checks that run alongside others, so that one's package installs overlap
# another's builds: `background NAME COMMAND...` starts one, its
# output kept; `collect NAME` waits for it, then prints that output under
# its name and returns its status; `collect_all`, from an EXIT trap,
# collects every one not yet collected, in the order they were started, so
# that none is cut short (its roots are mmdebstrap's to clean up) or left
# unread.
declare -A background_pids=()
background_names=()
background_logs=""
background() {
    local name=$1
    shift
    [[ -n "$background_logs" ]] || background_logs=$(mktemp -d /var/tmp/helloworld-logs.XXXXXX)
    "$@" >"$background_logs/$name" 2>&1 </dev/null &
    background_pids[$name]=$!
    background_names+=("$name")
}
collect() {
    local status=0
    wait "${background_pids[$1]}" || status=$?
    unset "background_pids[$1]"
    echo "---- $1 (status $status):"
    cat "$background_logs/$1"
    return "$status"
}
collect_all() {
    local name status=0
    for name in "${background_names[@]}"; do
        [[ -z "${background_pids[$name]:-}" ]] || collect "$name" || status=1
    done
    [[ -z "$background_logs" ]] || rm -rf "$background_logs"
    return "$status"
}

# A script's steps, each named and timed: `section NAME` starts one and ends
# the one before as passed; `skip WHY` ends the current one as skipped.
# `sections_summary STATUS TITLE`, from the script's EXIT trap, ends the last
# one as passed, or FAILED where STATUS is not 0, and prints a line a section
# (status, seconds, name) and under it whatever its checks left out.
section_lines=()
section_name=""
section_started=$SECONDS
section_notes=""
close_section() { # STATUS [WHY]
    [[ -n "$section_name" ]] || return 0
    section_lines+=("$(printf '%-8s %4ds  %s' "$1" $((SECONDS - section_started)) \
        "$section_name${2:+: $2}")")
    while read -r note; do section_lines+=("               left out: $note"); done <"$section_notes"
    : >"$section_notes"
    section_name=""
}
section() {
    close_section passed
    # This script's own notes: a script it runs that sources this file
    # writes to them, not to the ones of the script that started this one.
    if [[ -z "$section_notes" ]]; then
        section_notes=$(mktemp)
        export CI_NOTES=$section_notes
    fi
    section_name=$1
    section_started=$SECONDS
    printf '\n==== %s ====\n' "$section_name"
}
skip() {
    echo "SKIPPED: $section_name: $1"
    close_section skipped "$1"
}
sections_summary() { # STATUS TITLE
    if (($1 == 0)); then close_section passed; else close_section FAILED; fi
    [[ -z "$section_notes" ]] || rm -f "$section_notes"
    printf '\n==== %s ====\n' "$2"
    printf '%s\n' "${section_lines[@]}"
}
