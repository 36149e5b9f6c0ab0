#!/usr/bin/env bash
# Start-up cost of helloworld against /bin/true and coreutils printf.
#
#   bench/startup.sh [--check]
#
# Builds the release and static presets, measures each program in an empty
# environment and prints one Markdown table, every figure with its ratio to
# /bin/true from the same run. With --check, exits 1 if the release build
# executes more than 1.03x the instructions of /bin/true, the static build
# more than 0.4x, or either does anything but one write of 10 bytes.
set -euo pipefail
cd "$(dirname "$0")/.."

check=false
[[ "${1:-}" == --check ]] && check=true

need=()
for tool in valgrind strace hyperfine; do
    command -v "$tool" >/dev/null || need+=("$tool")
done
[[ -x /usr/bin/time ]] || need+=(time)
if ((${#need[@]})); then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}" >/dev/null
fi

for preset in release static; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target helloworld >/dev/null
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

names=("/bin/true" "helloworld (release)" "helloworld (static)" "printf helloworld")
commands=("/bin/true" "$PWD/build/release/helloworld" "$PWD/build/static/helloworld"
    "/usr/bin/printf helloworld")

# Each measure prints one number for the command line in "$@".
instructions() {
    env -i valgrind --tool=callgrind --callgrind-out-file="$work/callgrind" "$@" \
        >/dev/null 2>&1
    awk '/^totals:/ { print $2 }' "$work/callgrind"
}
syscalls() {
    env -i strace -f -c -o "$work/strace" "$@" >/dev/null
    awk '$NF == "total" { print $(NF - 2) }' "$work/strace"
}
writes() {
    env -i strace -e trace=write -o "$work/writes" "$@" >/dev/null
    grep -c '^write(' "$work/writes" || true
}
write_bytes() {
    awk -F'= ' '/^write\(/ { sum += $NF } END { print sum + 0 }' "$work/writes"
}
peak_kib() { # the least of five runs: address-space randomisation moves it a little
    for _ in 1 2 3 4 5; do
        env -i /usr/bin/time -f %M -o "$work/time" "$@" >/dev/null
        cat "$work/time"
    done | sort -n | head -n 1
}
median_us() {
    env -i "$(command -v hyperfine)" -N --warmup 50 --runs 1000 --style none \
        --export-json "$work/hyperfine.json" "$*" >/dev/null 2>&1
    awk -F: '/"median"/ { gsub(/[ ,]/, "", $2); printf "%.0f\n", $2 * 1e6 }' \
        "$work/hyperfine.json"
}

declare -A value
for i in "${!commands[@]}"; do
    read -ra line <<<"${commands[$i]}"
    value[$i, instructions]=$(instructions "${line[@]}")
    value[$i, syscalls]=$(syscalls "${line[@]}")
    value[$i, writes]=$(writes "${line[@]}")
    value[$i, bytes]=$(write_bytes)
    value[$i, peak]=$(peak_kib "${line[@]}")
    value[$i, wall]=$(median_us "${line[@]}")
done

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b > 0 ? a / b : 0) }'; }
cell() { printf '%s (%sx)' "${value[$1, $2]}" "$(ratio "${value[$1, $2]}" "${value[0, $2]}")"; }

echo "| program | instructions | system calls | writes (bytes) | peak RSS KiB | median wall µs |"
echo "| --- | ---: | ---: | ---: | ---: | ---: |"
for i in "${!commands[@]}"; do
    printf '| %s | %s | %s | %s (%s) | %s | %s |\n' "${names[$i]}" "$(cell "$i" instructions)" \
        "$(cell "$i" syscalls)" "${value[$i, writes]}" "${value[$i, bytes]}" \
        "$(cell "$i" peak)" "$(cell "$i" wall)"
done

$check || exit 0
verdict=0
target() { # index, largest allowed instruction ratio
    local r
    r=$(ratio "${value[$1, instructions]}" "${value[0, instructions]}")
    if awk -v r="$r" -v max="$2" 'BEGIN { exit !(r > max) }'; then
        echo "MISSED: ${names[$1]} executes ${r}x the instructions of /bin/true (at most ${2}x)"
        verdict=1
    fi
    if [[ "${value[$1, writes]}/${value[$1, bytes]}" != 1/10 ]]; then
        echo "MISSED: ${names[$1]} makes ${value[$1, writes]} writes of ${value[$1, bytes]} bytes"
        verdict=1
    fi
}
target 1 1.03
target 2 0.4
((verdict == 0)) && echo "targets met"
exit "$verdict"
