#!/usr/bin/env bash
# .ci/fresh-machine.sh RELEASE: runs the documentation as a new user would,
# on a brand-new minimal root of RELEASE, one of the Debian releases the
# project is made for: every command of the sh blocks of README.md, then of
# docs/*.md file by file in C order, from the clone it runs them in. On a
# release that is not the host's (the host runs CI on its own), the whole of
# CI runs first, from nothing, and the documents' commands after it, in a
# fresh clone. Needs root. An apt-get line runs through .ci/install.sh with
# the same packages, so that a mirror caught mid-sync is handled as CI
# handles it; every other command runs as written.
#
# The root is mmdebstrap's, kept nowhere (its output is /dev/null): its
# customize hooks clone HEAD into it and run the commands there, and
# mmdebstrap mounts what they need and removes it all afterwards. The hook
# that runs the commands is this script again, as
#   fresh-machine.sh RELEASE ROOT
# which runs, each as a section, CI (on another release than the host's),
# then the documents' commands.
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/lib.sh

# inside ROOT COMMAND: runs COMMAND with bash in the project's clone inside
# ROOT, as root, with a clean environment, as CI and as a run the project's
# CI knows to be the fresh-machine check's own.
inside() {
    chroot "$1" /usr/bin/env -i HOME=/root LANG=C.UTF-8 CI=true HELLOWORLD_FRESH_MACHINE=1 \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        bash -euo pipefail -c "cd /root/helloworld && $2"
}

# For the documents' commands: apt-get install runs as .ci/install.sh with
# the same packages, options left out, and apt-get update as nothing, since
# the install step updates apt's lists itself.
# shellcheck disable=SC2016 # expanded inside the root
apt_get='apt-get() {
    local word packages=()
    case $1 in
    update) ;;
    install) for word in "${@:2}"; do [[ $word == -* ]] || packages+=("$word"); done
        .ci/install.sh "${packages[@]}" ;;
    *) command apt-get "$@" ;;
    esac
}'

release=${1:-}
[[ " ${debian_releases[*]} " == *" $release "* ]] ||
    { echo "usage: $0 RELEASE, one of: ${debian_releases[*]}" >&2; exit 2; }
if (($# == 2)); then
    root=$2
    trap 'sections_summary $? "fresh machine, $release: seconds a step"' EXIT
    if [[ "$release" != "$host_release" ]]; then
        section "$release: CI=true bash .ci/run < /dev/null, from nothing"
        inside "$root" 'bash .ci/run </dev/null'
        # The documents' commands in a fresh clone, as a user starts.
        rm -rf --one-file-system "$root/root/helloworld"
        git clone --quiet . "$root/root/helloworld"
    fi
    clone=$root/root/helloworld
    documents=(README.md)
    mapfile -t -O 1 documents < <(cd "$clone" && printf '%s\n' docs/*.md | LC_ALL=C sort)
    for document in "${documents[@]}"; do
        # Its commands, a line each: the lines of its sh blocks, without
        # comments and blank lines.
        mapfile -t commands < <(awk '/^```/ { block = ($0 == "```sh"); next }
            block && !/^[ \t]*(#|$)/' "$clone/$document")
        [[ "$document" != README.md ]] || ((${#commands[@]})) ||
            { echo "FAILED: no sh block in README.md" >&2; exit 1; }
        for line in "${commands[@]}"; do
            section "$release: $document: $line"
            inside "$root" "$apt_get
$line"
        done
    done
    exit
fi

# mmdebstrap runs these hooks under sh, which expands $1, the root; they find
# this clone through the environment. reprotest's disorderfs, in CI, needs
# /dev/fuse, which mmdebstrap does not put in a root.
export HELLOWORLD_CLONE=$PWD
# mmdebstrap makes its roots in TMPDIR: not /tmp, which may be a small tmpfs.
export TMPDIR=/var/tmp
echo "$release: mmdebstrap --variant=minbase, a clone of HEAD, then the commands"
# shellcheck disable=SC2016
hooks=(--customize-hook='git clone --quiet "$HELLOWORLD_CLONE" "$1/root/helloworld"')
# shellcheck disable=SC2016
[[ "$release" == "$host_release" ]] || hooks+=(--customize-hook='cp -a /dev/fuse "$1/dev/"')
new_root "$release" /dev/null "${hooks[@]}" \
    --customize-hook="\"\$HELLOWORLD_CLONE/.ci/fresh-machine.sh\" $release \"\$1\""
