#!/usr/bin/env bash
# Runs README.md as a new user would, on a brand-new minimal Debian root:
# every command of its sh blocks, in order, then .ci/install.sh in a second
# new root, from nothing. Needs root. An apt-get line runs through
# .ci/install.sh with the same packages, so that a mirror caught mid-sync is
# handled as CI handles it; every other command runs as written.
#
# Kept between runs, under $cache: a pristine base root and apt's downloaded
# .deb files, neither of which can hide a missing install step.
set -euo pipefail
cd "$(dirname "$0")/.."

cache=/var/cache/helloworld-fresh-machine
suite=$(sed -n 's/^VERSION_CODENAME=//p' /etc/os-release)
mirror=$(sed -n 's/^URIs: *\([^ ]*\/debian\)$/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null |
    head -n 1)
base="$cache/base-$suite.tar"
work=$(mktemp -d /var/tmp/helloworld-fresh-machine.XXXXXX)
mkdir -p "$cache/archives/partial"

timings=()
current=""
started=$SECONDS
step() {
    current=$1
    started=$SECONDS
    shift
    printf '\n---- %s\n' "$current"
    "$@"
    timings+=("$(printf '%5ds  %s' $((SECONDS - started)) "$current")")
    current=""
}
finish() {
    local status=$?
    # The mounts live in a private mount namespace and ended with it.
    rm -rf --one-file-system "$work"
    printf '\n---- fresh machine: seconds a step\n'
    printf '%s\n' "${timings[@]}"
    [[ -z "$current" ]] || printf '%5ds  FAILED: %s\n' $((SECONDS - started)) "$current"
    exit "$status"
}
trap finish EXIT

make_base() {
    # Made afresh each week; in between, apt brings its packages up to date.
    if [[ ! -f "$base" ]] || [[ -n "$(find "$base" -mtime +7)" ]]; then
        debootstrap --variant=minbase "$suite" "$work/base" "${mirror:-http://deb.debian.org/debian}" \
            >"$work/debootstrap.log" 2>&1 || { cat "$work/debootstrap.log"; exit 1; }
        tar -C "$work/base" -cf "$base.new" . && mv "$base.new" "$base"
        rm -rf --one-file-system "$work/base"
    fi
}

# new_root DIR: a pristine root with the host's apt sources and a clone of
# the project's HEAD in /root/helloworld.
new_root() {
    local root=$1
    mkdir -p "$root"
    tar -C "$root" -xf "$base"
    rm -f "$root"/etc/apt/sources.list "$root"/etc/apt/sources.list.d/*
    cp /etc/apt/sources.list.d/*.sources "$root/etc/apt/sources.list.d/" 2>/dev/null || true
    [[ ! -f /etc/apt/sources.list ]] || cp /etc/apt/sources.list "$root/etc/apt/"
    cp /etc/resolv.conf "$root/etc/"
    git clone --quiet "$PWD" "$root/root/helloworld"
}

# inside ROOT COMMAND: runs COMMAND with bash in the project's clone inside
# ROOT, as root, with a clean environment.
inside() {
    # shellcheck disable=SC2016 # expanded by the shell inside the namespace
    unshare --mount --propagation private -- bash -euc '
        root=$1 archives=$2 command=$3
        mount -t proc proc "$root/proc"
        mount -t sysfs sysfs "$root/sys"
        mount --rbind /dev "$root/dev"
        mount --bind "$archives" "$root/var/cache/apt/archives"
        exec chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 CI=true \
            PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
            bash -euo pipefail -c "cd /root/helloworld && $command"
    ' _ "$1" "$cache/archives" "$2"
}

# The README's commands, a line each: the lines of its sh blocks, without
# comments and blank lines.
mapfile -t commands < <(awk '/^```/ { block = ($0 == "```sh"); next }
    block && !/^[ \t]*(#|$)/' README.md)
((${#commands[@]})) || { echo "FAILED: no sh block in README.md" >&2; exit 1; }

# The command an apt-get line runs as; any other line as it stands.
translate() {
    local line=$1 part words result=""
    [[ "$line" == *apt-get* ]] || { echo "$line"; return; }
    while [[ -n "$line" ]]; do
        part=${line%% && *}
        [[ "$part" == "$line" ]] && line="" || line=${line#* && }
        read -ra words <<<"$part"
        if [[ "${words[0]}" == apt-get && "${words[1]}" == update ]]; then
            continue # the install step updates apt's lists itself
        elif [[ "${words[0]}" == apt-get && "${words[1]}" == install ]]; then
            part=".ci/install.sh"
            for word in "${words[@]:2}"; do [[ "$word" == -* ]] || part+=" $word"; done
        fi
        result+="${result:+ && }$part"
    done
    echo "$result"
}

step "debootstrap --variant=minbase $suite (or the cached base root)" make_base
step "a new root with a clone of HEAD" new_root "$work/readme"
for line in "${commands[@]}"; do
    command=$(translate "$line")
    name="README: $line"
    [[ "$command" == "$line" ]] || name+="  (run as: $command)"
    step "$name" inside "$work/readme" "$command"
done
rm -rf --one-file-system "$work/readme"

step "a second new root" new_root "$work/ci"
step ".ci/install.sh, from nothing" inside "$work/ci" ".ci/install.sh"
