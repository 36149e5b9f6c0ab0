#!/usr/bin/env bash
# Builds and packs the release and both windows presets of HEAD twice with
# Debian's reprotest, varying everything it can here between the two
# builds, and requires the seven artefacts byte-identical; on a difference,
# reprotest prints diffoscope's report.
#
# Not varied: user_group, which runs builds through "sudo -h localhost", and
# Debian 12's sudo refuses a host outside "sudo -l" (domain_host then varies
# without sudo, in a user namespace). Where the kernel refuses this process
# a user namespace (in a chroot), domain_host is left out too; where it may
# not mount (no CAP_SYS_ADMIN), fileordering, whose disorderfs is a FUSE
# mount, is.
#
# reprotest leaves the build tree's file system alone, and the .deb's
# Installed-Size once depended on it: the release packages are packed once
# more with the build tree on a tmpfs and compared with build/release's.
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/privileges.sh

work=$(mktemp -d /var/tmp/helloworld-reproducible.XXXXXX)
trap 'umount "$work/tmpfs" 2>/dev/null || true; rm -rf --one-file-system "$work"' EXIT
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

artefacts="build/release/helloworld build/release/*.deb build/release/*.tar.gz"
artefacts+=" build/windows/helloworld.exe build/windows/*.zip"
artefacts+=" build/windows-x64/helloworld.exe build/windows-x64/*.zip"
# shellcheck disable=SC2016 # expanded by the build's own shell
reprotest --variations="$variations" --store-dir="$work/artefacts" \
    -c 'for preset in release windows windows-x64; do
            cmake --preset $preset >/dev/null && cmake --build --preset $preset >/dev/null &&
                (cd build/$preset && cpack >/dev/null)
        done' \
    "$work/source" \
    "$artefacts"

if cannot_mount; then
    left_out "the packages built on a tmpfs: mounting one needs CAP_SYS_ADMIN, and this" \
        "process lacks it"
    exit 0
fi
mkdir "$work/tmpfs"
mount -t tmpfs tmpfs "$work/tmpfs"
cmake --preset release -B "$work/tmpfs/release" >/dev/null
cmake --build "$work/tmpfs/release" >/dev/null
(cd "$work/tmpfs/release" && cpack >/dev/null)
cp "$work"/tmpfs/release/helloworld_*.deb "$work"/tmpfs/release/helloworld-*.tar.gz "$work"
disk=$(stat -f -c %T build/release)
[[ "$disk" != tmpfs ]] || echo "WARNING: build/release is on a tmpfs too: the file system was not varied"
for made in "$work"/helloworld_*.deb "$work"/helloworld-*.tar.gz; do
    name=${made##*/}
    if ! cmp "build/release/$name" "$made"; then
        diffoscope "build/release/$name" "$made" || true
        exit 1
    fi
    echo "identical on $disk and on tmpfs: $name"
done
