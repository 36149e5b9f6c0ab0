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
# the command that would mend it, and changes nothing.
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

# apt words an unsolvable install in more than one way: whether twins
# differ decides. Installed native libraries whose foreign twin apt would
# take at another version than the native one it would keep or take:
mapfile -t libraries < <(dpkg-query -W -f '${Package}:${Architecture} ${Multi-Arch} ${db:Status-Abbrev}\n' |
    awk -v arch="$arch" '$1 ~ ":" arch "$" && $2 == "same" && $3 == "ii" { sub(":.*", "", $1); print $1 }')
mapfile -t skewed < <(for foreign_arch in "${foreign_arches[@]}"; do
    apt-cache policy "${libraries[@]/%/:$arch}" "${libraries[@]/%/:$foreign_arch}" |
        awk -v arch="$arch" -v foreign=":$foreign_arch" '
        /^[^ ].*:$/ { name = $0; sub(/:$/, "", name); next }
        $1 == "Installed:" { installed[name] = $2 }
        $1 == "Candidate:" { candidate[name] = $2 }
        END {
            for (name in candidate) {
                if (substr(name, length(name) - length(foreign) + 1) != foreign) continue
                base = substr(name, 1, length(name) - length(foreign))
                if (!(base in candidate)) base = base ":" arch
                twin = candidate[name]
                if (twin != "(none)" && twin != candidate[base])
                    print base ": installed " installed[base] ", candidate " candidate[base] "; " name " " twin
            }
        }'
done | sort -u)
if ((${#skewed[@]} == 0)); then
    cat "$log"
    exit 1
fi
echo "install: the mirror's foreign libraries lag their $arch twins:"
printf '  %s\n' "${skewed[@]}"

printf 'Package: *\nPin: release n=%s\nPin-Priority: 1001\n' "$host_release" >"$pin"
if [[ "${CI:-}" != true ]]; then
    cat >&2 <<EOF
install: stopped; nothing was changed. To take the base suite's versions,
downgrading the amd64 twins to them, run as root:
  printf 'Package: *\\nPin: release n=$host_release\\nPin-Priority: 1001\\n' >/tmp/pin
  apt-get install -o Dir::Etc::Preferences=/tmp/pin --allow-downgrades ${foreign[*]}
EOF
    exit 1
fi

pinned=(-o "Dir::Etc::Preferences=$pin" --allow-downgrades)
echo "install: CI=true, so retrying once with $host_release pinned; this downgrades:"
apt-get install -s "${pinned[@]}" "${foreign[@]}" 2>/dev/null |
    sed -n 's/^Inst \([^ ]*\) \[\([^]]*\)\] (\([^ ]*\) .*/\1 \2 \3/p' |
    while read -r package old new; do
        if dpkg --compare-versions "$new" lt "$old"; then echo "  $package $old -> $new"; fi
    done
apt_install "${pinned[@]}" "${foreign[@]}" >"$log" 2>&1 || { cat "$log"; exit 1; }
