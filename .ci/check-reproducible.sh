#!/usr/bin/env bash
# Builds a clone of HEAD twice with Debian's reprotest, varying everything it
# can here between the two builds, and requires the artefacts byte-identical
# (on a difference, reprotest prints diffoscope's report): first the .deb
# files, built reprotest's own default way (dpkg-buildpackage), then the
# executables and archives of the release, both Windows presets, every
# Linux architecture CI cross-builds for, and the WASI module.
#
# Not varied: user_group, which runs builds through "sudo -h localhost", and
# Debian 12's sudo refuses a host outside "sudo -l" (domain_host then varies
# without sudo, in a user namespace). Where the kernel refuses this process
# a user namespace (in a chroot), domain_host is left out too; where it may
# not mount (no CAP_SYS_ADMIN), fileordering, whose disorderfs is a FUSE
# mount, is.
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/lib.sh

work=$(mktemp -d /var/tmp/helloworld-reproducible.XXXXXX)
trap 'rm -rf --one-file-system "$work"' EXIT
git clone --quiet . "$work/source"

variations=+all,-user_group
if ! refusal=$(unshare -r --uts true 2>&1); then
    [[ "$refusal" == *"Operation not permitted"* ]] || { echo "$refusal"; exit 1; }
    variations+=,-domain_host
    left_out "reprotest's domain_host: it needs a user namespace, and the kernel refuses" \
        "this process one ($refusal)"
fi
if cannot_mount; then
    variations+=,-fileordering
    left_out "reprotest's fileordering: disorderfs mounts a FUSE file system, which needs" \
        "CAP_SYS_ADMIN, and this process lacks it"
fi

reprotest --variations="$variations" --store-dir="$work/deb" "$work/source"

# The workflows whose artefacts are compared: the executable, the archive
# and the manual page each leaves in its build directory. One line:
# reprotest takes no line break among its patterns.
presets=(release windows-x86 windows-x64 wasi)
artefacts=""
for build in "${presets[@]/#/build/}" "${linux_arches[@]/#/build/linux-}"; do
    artefacts+=" $build/helloworld*"
done
reprotest --variations="$variations" --store-dir="$work/cmake" \
    -c "set -e
        for preset in ${presets[*]}; do
            cmake --workflow --preset \$preset >/dev/null
        done
        for arch in ${linux_arches[*]}; do
            HELLOWORLD_ARCH=\$arch cmake --workflow --preset linux-cross >/dev/null
        done" \
    "$work/source" "$artefacts"
