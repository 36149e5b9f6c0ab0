#!/usr/bin/env bash
# Checks the manual page, the install rules and the packages made by the
# release and windows workflows.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() { echo "FAILED: $*" >&2; exit 1; }

mandoc -Tlint build/release/helloworld.1 || fail "mandoc -Tlint found problems"

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install build/release --prefix "$prefix/usr" >/dev/null
DESTDIR="$prefix/dest" cmake --install build/release >/dev/null
for root in "$prefix/usr" "$prefix/dest/usr/local"; do
    [[ "$(cd "$root" && find . -type f | sort)" == \
        "$(printf '%s\n' ./bin/helloworld ./share/doc/helloworld/LICENSE \
            ./share/man/man1/helloworld.1)" ]] || fail "unexpected files under $root"
done
[[ "$("$prefix/usr/bin/helloworld")" == helloworld ]] || fail "installed program"
man -l "$prefix/usr/share/man/man1/helloworld.1" 2>&1 | grep -q "write error" ||
    fail "man -l does not render the page"

tar tzf build/release/helloworld-*-linux-x86_64.tar.gz | grep -q '^helloworld-[^/]*/bin/helloworld$' ||
    fail "tarball without the program"
cmake -E tar tf build/windows/helloworld-*-windows-x86.zip | grep -q '/bin/helloworld.exe$' ||
    fail "zip without helloworld.exe"

deb=(build/release/helloworld_*_amd64.deb)
dpkg-deb -f "${deb[0]}" Package Version Maintainer Section Depends Installed-Size
dpkg-deb -f "${deb[0]}" Depends | grep -Eq '(^|, )libc6( |,|$)' || fail "the .deb's Depends lacks libc6"
# As root, lintian says so on standard error; its findings go to standard output.
lintian --pedantic -I --tag-display-limit 0 "${deb[0]}" 2>/dev/null | tee "$prefix/lintian"
! grep -q '^[EW]:' "$prefix/lintian" || fail "lintian reports errors or warnings"

if dpkg -s helloworld >/dev/null 2>&1; then
    echo "removing a helloworld package an earlier run left installed"
    dpkg -r helloworld >/dev/null
fi
dpkg -i "${deb[0]}" >/dev/null
[[ "$(helloworld)" == helloworld ]] || fail "helloworld from the package"
man -P cat helloworld | grep -q "write error" || fail "man helloworld"
zcat /usr/share/doc/helloworld/changelog.gz | grep -q "^helloworld (" || fail "changelog.gz"
grep -q "^License: Expat" /usr/share/doc/helloworld/copyright || fail "copyright"
dpkg -r helloworld >/dev/null
for file in /usr/bin/helloworld /usr/share/man/man1/helloworld.1.gz /usr/share/doc/helloworld; do
    [[ ! -e "$file" ]] || fail "dpkg -r left $file behind"
done
echo "packages: ok"
