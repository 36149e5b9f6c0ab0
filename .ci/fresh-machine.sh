#!/usr/bin/env bash
# Runs README.md as a new user would, on a brand-new minimal root of each
# Debian release it is made for: every command of its sh blocks, in order,
# from the README of the clone it runs them in; then the whole of CI, from
# nothing, in one more new root, of the release that is not the host's (the
# host's own runs CI already). Needs root, and works inside a chroot. An apt-get line runs through
# .ci/install.sh with the same packages, so that a mirror caught mid-sync is
# handled as CI handles it; every other command runs as written.
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/lib.sh

releases=(bookworm trixie)
ci_release=${releases[0]}
[[ "$ci_release" != "$host_release" ]] || ci_release=${releases[1]}
work=$(mktemp -d /var/tmp/helloworld-fresh-machine.XXXXXX)

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
    unmount_under "$work" || true
    rm -rf --one-file-system "$work"
    printf '\n---- fresh machine: seconds a step\n'
    printf '%s\n' "${timings[@]}"
    [[ -z "$current" ]] || printf '%5ds  FAILED: %s\n' $((SECONDS - started)) "$current"
    exit "$status"
}
trap finish EXIT

# Mounts made here, and any a run inside left behind, deepest first. Mounted
# directly rather than in a private mount namespace, which a chroot cannot
# make (its root is no mount point).
unmount_under() {
    awk -v top="$1" 'index($5, top "/") == 1 { print $5 }' /proc/self/mountinfo | sort -r |
        while read -r point; do umount "$point" 2>/dev/null || umount --lazy "$point"; done
}

# enter RELEASE ROOT: makes a new root of RELEASE there with a clone of the
# project's HEAD in /root/helloworld, and mounts what a root needs to be
# entered.
enter() {
    local root=$2
    new_root "$1" "$work/base.tar"
    mkdir -p "$root"
    tar -C "$root" -xf "$work/base.tar"
    rm "$work/base.tar"
    cp /etc/resolv.conf "$root/etc/"
    git clone --quiet "$PWD" "$root/root/helloworld"
    mount -t proc proc "$root/proc"
    mount -t sysfs sysfs "$root/sys"
    mount --rbind /dev "$root/dev"
    # Unmounting the copies must not unmount the host's /dev/pts and the like.
    mount --make-rslave "$root/dev"
}

# inside ROOT COMMAND: runs COMMAND with bash in the project's clone inside
# ROOT, as root, with a clean environment, as CI and as a run the project's
# CI knows to be the fresh-machine check's own.
inside() {
    chroot "$1" /usr/bin/env -i HOME=/root LANG=C.UTF-8 CI=true HELLOWORLD_FRESH_MACHINE=1 \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        bash -euo pipefail -c "cd /root/helloworld && $2"
}

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

for release in "${releases[@]}"; do
    root="$work/readme-$release"
    step "$release: mmdebstrap --variant=minbase, a clone of HEAD" enter "$release" "$root"
    # The README's commands, a line each: the lines of its sh blocks,
    # without comments and blank lines.
    mapfile -t commands < <(awk '/^```/ { block = ($0 == "```sh"); next }
        block && !/^[ \t]*(#|$)/' "$root/root/helloworld/README.md")
    ((${#commands[@]})) || { echo "FAILED: no sh block in README.md" >&2; exit 1; }
    for line in "${commands[@]}"; do
        command=$(translate "$line")
        name="$release: README: $line"
        [[ "$command" == "$line" ]] || name+="  (run as: $command)"
        step "$name" inside "$root" "$command"
    done
    unmount_under "$root"
    rm -rf --one-file-system "$root"
done

step "$ci_release: a new root for CI" enter "$ci_release" "$work/ci"
step "$ci_release: CI=true bash .ci/run < /dev/null, from nothing" \
    inside "$work/ci" "bash .ci/run </dev/null"
