#!/usr/bin/env bash
# Checks the manual page, the install rules and the archives that the
# release, Windows and Linux cross workflows made, and runs the dev build's
# suite against the program that cmake --install installs. The .deb has its
# own check, .ci/check-debian.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/lib.sh

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
tarball=helloworld-$version-$native.tar.gz
tar tzf "build/release/$tarball" | has "^helloworld-$version-$native/bin/helloworld\$" ||
    fail "tarball without the program"
# Packed again under a strict umask, which the install's directories went through.
(umask 077 && cpack --config build/release/CPackConfig.cmake -B "$work/umask" >/dev/null)
cmp "build/release/$tarball" "$work/umask/$tarball" || fail "the archive packed under umask 077 differs"
for platform in windows-x86 windows-x64; do
    cmake -E tar tf "build/$platform/helloworld-$version-$platform.zip" | has '/bin/helloworld.exe$' ||
        fail "the $platform .zip without helloworld.exe"
done
# Those of exactly the architectures CI builds for: a missing one fails.
for arch in "${linux_arches[@]}"; do
    tar tzf "build/linux-$arch/helloworld-$version-linux-$arch.tar.gz" | has '/bin/helloworld$' ||
        fail "no linux-$arch tarball holding the program"
done

echo "packages: ok"
