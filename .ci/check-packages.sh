#!/usr/bin/env bash
# Checks the manual page, the install rules and the archives that the
# release, Windows and Linux cross workflows made, and runs the dev build's
# suite against the program that cmake --install installs; then builds the
# .deb from a clone of HEAD with dpkg-buildpackage, natively and cross-built
# for arm64, and checks their fields and lintian; the native one's files,
# and piuparts installing, running and removing it in a throw-away root
# (never this machine's own package database).
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/lib.sh

fail() { echo "FAILED: $*" >&2; exit 1; }
# Not grep -q after a pipe: its early exit would fail the writer, and so the
# pipeline.
has() { grep "$@" >/dev/null; }

mandoc -Tlint build/release/helloworld.1 || fail "mandoc -Tlint found problems"

work=$(mktemp -d /var/tmp/helloworld-packages.XXXXXX)
trap 'rm -rf --one-file-system "$work"' EXIT
cmake --install build/release --prefix "$work/usr" >/dev/null
DESTDIR="$work/dest" cmake --install build/release >/dev/null
for root in "$work/usr" "$work/dest/usr/local"; do
    [[ "$(cd "$root" && find . -type f | sort)" == \
        "$(printf '%s\n' ./bin/helloworld ./share/doc/helloworld/LICENSE \
            ./share/man/man1/helloworld.1)" ]] || fail "unexpected files under $root"
    # The whole suite, as for the build tree's program: exact bytes, standard
    # error and exit status.
    HELLOWORLD_PROGRAM="$root/bin/helloworld" ctest --preset dev -j2 >"$work/ctest.log" 2>&1 ||
        { cat "$work/ctest.log"; fail "the suite against the installed $root/bin/helloworld"; }
done

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release/CMakeCache.txt)
native=linux-$(dpkg --print-architecture)
tar tzf "build/release/helloworld-$version-$native.tar.gz" |
    has "^helloworld-$version-$native/bin/helloworld\$" || fail "tarball without the program"
for platform in windows-x86 windows-x64; do
    cmake -E tar tf "build/$platform/helloworld-$version-$platform.zip" | has '/bin/helloworld.exe$' ||
        fail "the $platform .zip without helloworld.exe"
done
# Those of exactly the architectures CI builds for: a missing one fails.
for arch in "${linux_arches[@]}"; do
    tar tzf "build/linux-$arch/helloworld-$version-linux-$arch.tar.gz" | has '/bin/helloworld$' ||
        fail "no linux-$arch tarball holding the program"
done

# deb ARCH: the .deb built for ARCH, checked; prints its path.
git clone --quiet . "$work/helloworld"
deb() {
    local deb
    (cd "$work/helloworld" && dpkg-buildpackage -a "$1" -b -us -uc) >"$work/build.log" 2>&1 ||
        { cat "$work/build.log"; fail "dpkg-buildpackage -a $1"; }
    deb=$(echo "$work/helloworld_"*"_$1.deb")
    dpkg-deb -f "$deb" Package Version Architecture Maintainer Section Depends Installed-Size >&2
    [[ "$(dpkg-deb -f "$deb" Architecture)" == "$1" ]] || fail "the .deb for $1 is not Architecture: $1"
    dpkg-deb -f "$deb" Depends | has -E '(^|, )libc6( |,|$)' || fail "the $1 .deb's Depends lacks libc6"
    # Every tag but an overridden one fails; as root, lintian says so on
    # standard error, and its findings go to standard output.
    lintian --pedantic -I --tag-display-limit 0 "$deb" 2>/dev/null | tee "$work/lintian" >&2
    [[ ! -s "$work/lintian" ]] || fail "lintian shows tags on the $1 .deb that no override explains"
    echo "$deb"
}
deb arm64 >/dev/null
deb=$(deb "$(dpkg --print-architecture)")

dpkg-deb -x "$deb" "$work/root"
[[ "$("$work/root/usr/bin/helloworld")" == helloworld ]] || fail "helloworld from the package"
man -l "$work/root/usr/share/man/man1/helloworld.1.gz" | has "write error" || fail "man page"
zcat "$work/root/usr/share/doc/helloworld/changelog.gz" | has "^helloworld (" || fail "changelog.gz"
grep -q "^License: Expat" "$work/root/usr/share/doc/helloworld/copyright" || fail "copyright"

if cannot_mount; then
    left_out "piuparts: its throw-away root needs mounts, and this process lacks CAP_SYS_ADMIN"
else
    new_root "$host_release" "$work/base.tar.gz"
    piuparts -b "$work/base.tar.gz" --keep-sources-list -d "$host_release" \
        --scriptsdir "$PWD/.ci/piuparts" "$deb" >"$work/piuparts.log" 2>&1 ||
        { cat "$work/piuparts.log"; fail "piuparts"; }
    tail -n 2 "$work/piuparts.log"
fi
echo "packages: ok"
