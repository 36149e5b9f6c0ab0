# shellcheck shell=bash
# Sourced by CI's scripts: the architectures CI builds Linux for; what this
# host may do, decided narrowly; how a check says what it had to leave out;
# and a brand-new Debian root.

# Debian's release architectures besides amd64, each cross-built and tested.
# shellcheck disable=SC2034 # used by the scripts that source this one
linux_arches=(arm64 armel armhf i386 mips64el mipsel ppc64el riscv64 s390x)

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

# new_root SUITE TARBALL [OPTION...]: a minimal Debian root of SUITE, made
# afresh from the host's own apt sources, in either form, as mmdebstrap takes
# them; for another release than the host's, with the host's release name
# changed. Options go to mmdebstrap, after (and so over) its own.
new_root() {
    local host file sources=() copies
    host=$(sed -n 's/^VERSION_CODENAME=//p' /etc/os-release)
    copies=$(mktemp -d)
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
        [[ -s "$file" ]] || continue
        sed "s/\b$host\b/$1/g" "$file" >"$copies/${file##*/}"
        sources+=("$copies/${file##*/}")
    done
    ((${#sources[@]})) || { echo "FAILED: this host has no apt sources" >&2; return 1; }
    mmdebstrap --variant=minbase --quiet "${@:3}" "$1" "$2" "${sources[@]}"
    rm -rf "$copies"
}
