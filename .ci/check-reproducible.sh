#!/usr/bin/env bash
# Builds and packs the release and windows presets once more, in another
# build directory and at another time, without SOURCE_DATE_EPOCH, and
# requires executables and packages byte-identical to the ones their
# workflows made in build/.
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sleep 1 # a second apart at least, so that a packing time would show
for preset in release windows; do
    env -u SOURCE_DATE_EPOCH cmake --preset "$preset" -B "$work/$preset" >/dev/null
    cmake --build "$work/$preset" >/dev/null
    (cd "$work/$preset" && env -u SOURCE_DATE_EPOCH cpack >/dev/null)
done

compared=0
for file in release/helloworld windows/helloworld.exe release/helloworld_*.deb \
    release/helloworld-*-linux-*.tar.gz windows/helloworld-*-windows-*.zip; do
    # shellcheck disable=SC2206 # file is a glob
    matches=("$work"/$file)
    [[ -e "${matches[0]}" ]] || { echo "FAILED: no $file was made" >&2; exit 1; }
    for made in "${matches[@]}"; do
        cmp "build/${made#"$work"/}" "$made"
        printf '%s  %s\n' "$(sha256sum "$made" | cut -c1-16)" "${made#"$work"/}"
        compared=$((compared + 1))
    done
done
echo "reproducible: $compared files byte-identical"
