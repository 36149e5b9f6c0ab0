# shellcheck shell=bash
# Sourced by CI's scripts: what this process may do, decided narrowly, and
# how a check says what it had to leave out.

# True where this process may not mount: CAP_SYS_ADMIN (21) is not in its
# effective set, as in a container that drops it.
cannot_mount() {
    local effective
    effective=$(awk '$1 == "CapEff:" { print $2 }' /proc/self/status)
    (((16#$effective >> 21 & 1) == 0))
}

# left_out TEXT: a part of a check that cannot run here, said in its output
# and, through CI_NOTES, in CI's summary.
left_out() {
    echo "LEFT OUT: $*"
    [[ -z "${CI_NOTES:-}" ]] || echo "$*" >>"$CI_NOTES"
}
