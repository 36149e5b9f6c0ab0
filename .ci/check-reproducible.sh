#!/usr/bin/env bash
# Builds the release and windows presets once more, in another build
# directory, and requires executables byte-identical to the ones their
# workflows made in build/.
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for preset in release windows; do
    cmake --preset "$preset" -B "$work/$preset" >/dev/null
    cmake --build "$work/$preset" --target helloworld >/dev/null
done
cmp build/release/helloworld "$work/release/helloworld"
cmp build/windows/helloworld.exe "$work/windows/helloworld.exe"
echo "reproducible: $(sha256sum build/release/helloworld | cut -c1-16) (Linux)," \
    "$(sha256sum build/windows/helloworld.exe | cut -c1-16) (Windows)"
