#!/usr/bin/env bash
# Builds and packs the release and windows presets of HEAD twice with
# Debian's reprotest, varying everything it can here between the two
# builds, and requires the five artefacts byte-identical; on a difference,
# reprotest prints diffoscope's report.
#
# Not varied: user_group, which runs builds through "sudo -h localhost", and
# Debian 12's sudo refuses a host outside "sudo -l" (domain_host then varies
# without sudo, in a user namespace).
#
# reprotest leaves the build tree's file system alone, and the .deb's
# Installed-Size once depended on it: the release packages are packed once
# more with the build tree on a tmpfs and compared with build/release's.
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d /var/tmp/helloworld-reproducible.XXXXXX)
trap 'rm -rf --one-file-system "$work"' EXIT
git clone --quiet . "$work/source"

# shellcheck disable=SC2016 # expanded by the build's own shell
reprotest --variations=+all,-user_group --store-dir="$work/artefacts" \
    -c 'for preset in release windows; do
            cmake --preset $preset >/dev/null && cmake --build --preset $preset >/dev/null &&
                (cd build/$preset && cpack >/dev/null)
        done' \
    "$work/source" \
    'build/release/helloworld build/release/*.deb build/release/*.tar.gz build/windows/helloworld.exe build/windows/*.zip'

mkdir "$work/tmpfs"
# shellcheck disable=SC2016 # expanded inside the namespace
unshare --mount --propagation private -- bash -euc '
    mount -t tmpfs tmpfs "$1"
    cmake --preset release -B "$1/release" >/dev/null
    cmake --build "$1/release" >/dev/null
    (cd "$1/release" && cpack >/dev/null)
    cp "$1"/release/helloworld_*.deb "$1"/release/helloworld-*.tar.gz "$2"
' _ "$work/tmpfs" "$work"
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
