#!/usr/bin/env bash
# Builds the release and windows presets twice, in two other build
# directories, and requires byte-identical executables.
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for preset in release windows; do
    for copy in one two; do
        cmake --preset "$preset" -B "$work/$preset-$copy" >/dev/null
        cmake --build "$work/$preset-$copy" --target helloworld >/dev/null
    done
done
cmp "$work"/release-{one,two}/helloworld
cmp "$work"/windows-{one,two}/helloworld.exe
echo "reproducible: $(sha256sum "$work/release-one/helloworld" | cut -c1-16) (Linux)," \
    "$(sha256sum "$work/windows-one/helloworld.exe" | cut -c1-16) (Windows)"
