#!/usr/bin/env bash
# .ci/install.sh [PACKAGE...]: installs the Debian packages given, or else
# every one CI's checks need; native packages first, then those of other
# architectures (name:arch), whose architectures it adds.
#
# A package mirror can be caught mid-sync: an index that fails to download,
# or foreign libraries at other versions than their native twins, which
# multiarch needs at one version. A failed index is only a warning here; the
# install decides. A twin skew is mended, where CI=true (a throw-away
# machine), by retrying that one install with the base suite pinned, and
# everything it downgrades is listed; anywhere else this stops and prints
# the command that would mend it, and downgrades nothing.
set -euo pipefail
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"

if (($#)); then
    packages=("$@")
else
    packages=(cmake make g++ clang clang-format clang-tidy libclang-rt-dev libgtest-dev strace
        shellcheck git build-essential debhelper lintian piuparts mmdebstrap sbuild autopkgtest
        uidmap mandoc man-db musl-tools hyperfine valgrind time jq reprotest diffoscope-minimal
        disorderfs faketime locales-all g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64
        wine32:i386 qemu-user libc6:arm64 wasi-libc lld libclang-rt-dev-wasm32 wabt nodejs)
fi
arch=$(dpkg --print-architecture)

native=()
foreign=()
foreign_arches=()
for package in "${packages[@]}"; do
    # By package, not by command: nothing installed by hand is taken for granted.
    [[ "$(dpkg-query -W -f '${Status}' "$package" 2>/dev/null)" == "install ok installed" ]] &&
        continue
    if [[ "$package" == *:* && "${package##*:}" != "$arch" ]]; then
        foreign+=("$package")
        [[ " ${foreign_arches[*]} " == *" ${package##*:} "* ]] || foreign_arches+=("${package##*:}")
    else
        native+=("$package")
    fi
done
if ((${#native[@]} + ${#foreign[@]} == 0)); then
    echo "install: all ${#packages[@]} packages are installed"
    exit 0
fi

log=$(mktemp)
pin=$(mktemp)
trap 'rm -f "$log" "$pin"' EXIT
export DEBIAN_FRONTEND=noninteractive
apt_install() { apt-get install -y -q --no-install-recommends "$@"; }

for foreign_arch in "${foreign_arches[@]}"; do dpkg --add-architecture "$foreign_arch"; done
if ! apt-get update -qq 2>"$log"; then
    echo "WARNING: apt-get update could not fetch every index; going on with the others:"
    sed -n 's/^E: Failed to fetch \([^ ]*\) *\(.*\)/  \1: \2/p' "$log"
fi

if ((${#native[@]})); then
    echo "install: ${native[*]}"
    apt_install "${native[@]}" >"$log" 2>&1 || { cat "$log"; exit 1; }
fi
((${#foreign[@]})) || exit 0

echo "install: ${foreign[*]}"
apt_install "${foreign[@]}" >"$log" 2>&1 && exit 0

# apt words an unsolvable install in more than one way. What decides is
# whether the base suite, pinned, would solve it by downgrading packages:
# those are the native twins that the mirror's foreign libraries lag.
printf 'Package: *\nPin: release n=%s\nPin-Priority: 1001\n' "$host_release" >"$pin"
pinned=(-o "Dir::Etc::Preferences=$pin" --allow-downgrades)
mapfile -t downgrades < <(apt-get install -s "${pinned[@]}" "${foreign[@]}" 2>/dev/null |
    sed -n 's/^Inst \([^ ]*\) \[\([^]]*\)\] (\([^ ]*\) .*/\1 \2 \3/p' |
    while read -r package old new; do
        if dpkg --compare-versions "$new" lt "$old"; then echo "$package $old -> $new"; fi
    done)
if ((${#downgrades[@]} == 0)); then
    cat "$log"
    exit 1
fi
echo "install: the mirror's foreign libraries lag their $arch twins; with $host_release pinned," \
    "this downgrades:"
printf '  %s\n' "${downgrades[@]}"
if [[ "${CI:-}" != true ]]; then
    cat >&2 <<EOF
install: stopped; nothing was downgraded. To take the base suite's versions, run as root:
  printf 'Package: *\\nPin: release n=$host_release\\nPin-Priority: 1001\\n' >/tmp/pin
  apt-get install -o Dir::Etc::Preferences=/tmp/pin --allow-downgrades ${foreign[*]}
EOF
    exit 1
fi
echo "install: CI=true, so retrying once with $host_release pinned"
apt_install "${pinned[@]}" "${foreign[@]}" >"$log" 2>&1 || { cat "$log"; exit 1; }
