#!/usr/bin/env bash
# Checks the manual page, the install rules and the archives that the
# release, Windows and Linux cross workflows made. The .deb has its own
# check, .ci/check-debian.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/host.sh

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
done
[[ "$("$work/usr/bin/helloworld")" == helloworld ]] || fail "installed program"

tar tzf build/release/helloworld-*-linux-x86_64.tar.gz | has '^helloworld-[^/]*/bin/helloworld$' ||
    fail "tarball without the program"
for platform in windows-x86 windows-x64; do
    cmake -E tar tf "build/$platform/helloworld-"*"-$platform.zip" | has '/bin/helloworld.exe$' ||
        fail "the $platform .zip without helloworld.exe"
done

for build in build/linux-*/; do
    platform=$(basename "$build")
    tar tzf "$build/helloworld-"*"-$platform.tar.gz" | has '/bin/helloworld$' ||
        fail "the $platform tarball without the program"
done

echo "packages: ok"
