#!/usr/bin/env bash
# Builds and checks the Debian package the way Debian's own infrastructure
# does. On this host, from a clone of HEAD: the source package and the .deb
# with dpkg-buildpackage, which runs the suite, and again with nocheck, which
# must give the same .deb; the arm64 .deb, cross-built. Then for Debian 12
# and 13, alongside each other: sbuild in a clean root that holds only
# Build-Depends, from an mmdebstrap tarball, natively and for arm64; each
# .deb compared with dpkg-buildpackage's of that release (this host's, or in
# a new root of the other release); the autopkgtest against the installed
# package, with the unshare backend; lintian on the .changes files (source
# and binary), with that release's lintian; piuparts installing, removing
# and purging it. A part whose root cannot be made here is left out, saying
# why.
set -euo pipefail
cd "$(dirname "$0")/.."
source .ci/lib.sh

host=$host_release
arch=$(dpkg --print-architecture)
version=$(dpkg-parsechangelog -S Version)
work=$(mktemp -d /var/tmp/helloworld-debian.XXXXXX)
# sbuild's and autopkgtest's roots, two at a time, not in /tmp, which may be
# a small tmpfs.
export TMPDIR=/var/tmp
# For every build here, sbuild's too: the options pass into its root.
DEB_BUILD_OPTIONS="parallel=$(nproc)"
export DEB_BUILD_OPTIONS

# Unshare roots map their users to subordinate ids of the user who makes
# them, and root has none by default. Run as root, this check gives root a
# range in /etc/subuid and /etc/subgid for its own length only: each file is
# put back exactly as it was (or removed, if there was none) when it ends,
# however it ends. An entry for root that is already there is left alone.
ids_given=()
give_ids() {
    local file start
    for file in /etc/subuid /etc/subgid; do
        [[ ! -e "$file" ]] || ! has '^root:' "$file" || continue
        start=100000
        if [[ -e "$file" ]]; then
            cp -a "$file" "$work/${file##*/}"
            start=$(awk -F: -v start=$start '$2 + $3 > start { start = $2 + $3 } END { print start }' "$file")
        fi
        ids_given+=("$file")
        echo "root:$start:65536" >>"$file"
    done
}
finish() {
    local status=$? file
    # Whatever happens now, the files are put back.
    trap '' INT TERM
    collect_all || true
    for file in "${ids_given[@]}"; do
        if [[ -e "$work/${file##*/}" ]]; then cp -a "$work/${file##*/}" "$file"; else rm -f "$file"; fi
    done
    rm -rf --one-file-system "$work"
    exit "$status"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# What this host may do: new roots need mounts; sbuild's and autopkgtest's
# unshare roots need user namespaces too, which a chroot may not make.
roots=yes unshare=yes
if cannot_mount; then
    roots="" unshare=""
    left_out "sbuild, autopkgtest, piuparts, and dpkg-buildpackage and lintian of a release other than \
this host's: their roots need mounts, and this process lacks CAP_SYS_ADMIN"
elif ! unshare --user --map-root-user --mount --pid --fork true 2>/dev/null; then
    unshare=""
    left_out "sbuild and autopkgtest: their unshare roots need a user namespace, which this \
process may not make (as in a chroot)"
elif ((EUID == 0)); then
    give_ids
fi

# The suite's count in a build log, checked: every case passed, none skipped.
suite_ran() { # LOG WHAT
    has -E '^100% tests passed, 0 tests failed out of [1-9][0-9]*$' "$1" || fail "$2 did not pass the suite"
    ! has 'The following tests did not run' "$1" || fail "$2 skipped cases of the suite"
    echo "$2: the suite passed, $(sed -n 's/^100% tests passed, 0 tests failed out of //p' "$1") cases"
}

# dpkg_build SOURCE LOG ARG...: dpkg-buildpackage ARG... in the source tree
# SOURCE; its log in LOG, and the files it makes beside SOURCE moved beside LOG.
dpkg_build() {
    local source=$1 log=$2
    shift 2
    (cd "$source" && dpkg-buildpackage -us -uc "$@") >"$log" 2>&1 || { cat "$log"; fail "dpkg-buildpackage $*"; }
    mv "${source%/*}/helloworld"[_-]* "${log%/*}/"
}

# dpkg_builds RELEASE SOURCE DIR: in the source tree SOURCE, on RELEASE, the
# source package and the .deb with the suite, into DIR; again with nocheck,
# into DIR/nocheck, which must run no suite and give the same .deb files; and
# the arm64 .deb, cross-built, into DIR. Run here and in another release's root.
dpkg_builds() {
    local release=$1 source=$2 dir=$3 deb
    mkdir -p "$dir/nocheck"
    dpkg_build "$source" "$dir/log"
    suite_ran "$dir/log" "dpkg-buildpackage on $release"
    DEB_BUILD_OPTIONS="$DEB_BUILD_OPTIONS nocheck" dpkg_build "$source" "$dir/nocheck/log" -b
    ! has 'tests passed' "$dir/nocheck/log" || fail "DEB_BUILD_OPTIONS=nocheck ran the suite on $release"
    for deb in "$dir/nocheck/"*.deb; do
        cmp "$dir/${deb##*/}" "$deb" || fail "the ${deb##*/} built on $release with DEB_BUILD_OPTIONS=nocheck \
differs from the one built with the suite"
    done
    echo "DEB_BUILD_OPTIONS=nocheck on $release: no suite, the same .deb files"
    DEB_BUILD_OPTIONS="$DEB_BUILD_OPTIONS nocheck" \
        dpkg_build "$source" "$dir/log.arm64" -a arm64 -Pcross,nocheck -b
}

echo "---- $host: dpkg-buildpackage on this host"
git clone --quiet . "$work/helloworld"
dpkg_builds "$host" "$work/helloworld" "$work/$host/dpkg"
mkdir "$work/source"
cp "$work/$host/dpkg/helloworld_$version".{dsc,tar.xz} "$work/source/"

dpkg-deb -x "$work/$host/dpkg/helloworld_${version}_$arch.deb" "$work/files"
# The hardened program, as Debian's flags built it, through the whole suite.
HELLOWORLD_PROGRAM="$work/files/usr/bin/helloworld" ctest --preset dev -j2 >"$work/ctest.log" 2>&1 ||
    { cat "$work/ctest.log"; fail "the suite against the .deb's helloworld"; }
man -l "$work/files/usr/share/man/man1/helloworld.1.gz" | has "write error" || fail "man page"
zcat "$work/files/usr/share/doc/helloworld/changelog.gz" | has "^helloworld (" || fail "changelog.gz"
has "^License: Expat" "$work/files/usr/share/doc/helloworld/copyright" || fail "copyright"

# lint RELEASE DIR: RELEASE's lintian on the .changes files in DIR/sbuild, or
# else in DIR/dpkg, as Debian's QA runs it: every tag but an overridden one
# fails. Debian 12's lintian knows policy up to 4.6.2 and warns of any later
# Standards-Version; the package follows Debian 13's, and an override for it
# would be an unused override to Debian 13's lintian, itself a tag. Run here
# and in another release's root.
lint() {
    local tmp tags status=0 changes options=()
    [[ "$1" != bookworm ]] || options=(--suppress-tags newer-standards-version)
    changes=("$2/dpkg/"*.changes)
    [[ ! -d "$2/sbuild" ]] || changes=("$2/sbuild/"*.changes)
    # Its own TMPDIR, removed after it: lintian leaves its ELF caches there.
    tmp=$(mktemp -d)
    lintian --version
    tags=$(TMPDIR=$tmp lintian --pedantic -I --tag-display-limit 0 --fail-on error,warning,info,pedantic \
        "${options[@]}" "${changes[@]}") || status=$?
    rm -rf "$tmp"
    if ((status)) || [[ -n "$tags" ]]; then
        printf '%s\n' "$tags"
        echo "FAILED: lintian shows tags that no override explains (status $status)" >&2
        return 1
    fi
    echo "lintian: no tag on ${changes[*]##*/}"
}

# other_release RELEASE: run in a new root of another release, with the
# source package in /srv/source and sbuild's files, if any, in /srv/sbuild:
# dpkg_builds there, into /srv/dpkg, and lint.
other_release() {
    cd /srv
    DEB_BUILD_OPTIONS="parallel=$(nproc)"
    export DEB_BUILD_OPTIONS
    apt-get build-dep -y -q ./source/helloworld_*.dsc >/dev/null
    dpkg-source -x source/helloworld_*.dsc helloworld >/dev/null
    dpkg_builds "$1" /srv/helloworld /srv/dpkg
    lint "$1" /srv
}
{
    declare -f fail has suite_ran dpkg_build dpkg_builds lint other_release
    echo 'other_release "$@"'
} >"$work/other-release.sh"

# check_release RELEASE: sbuild, autopkgtest, dpkg-buildpackage, lintian and
# piuparts of RELEASE, in roots of its own under $work/RELEASE.
check_release() {
    local release=$1 dir=$work/$1 build options deb
    mkdir -p "$dir"
    if [[ -n "$roots" ]]; then
        # Debian 12's sbuild needs apt-utils in a Debian 13 root.
        new_root "$release" "$dir/buildd.tar" --variant=buildd --include=apt-utils
    fi

    if [[ -n "$unshare" ]]; then
        mkdir "$dir/sbuild"
        for build in "$arch" arm64; do
            options=(--source)
            [[ "$build" == "$arch" ]] || options=(--host=arm64 "--profiles=cross,nocheck")
            # Distribution: unstable, as debian/changelog says, rather than the
            # root's release name.
            sbuild --chroot-mode=unshare --chroot="$dir/buildd.tar" --dist=unstable \
                "${options[@]}" --build-dir="$dir/sbuild" \
                --no-run-lintian --no-run-piuparts --no-run-autopkgtest \
                "$work/source/helloworld_$version.dsc" >"$dir/sbuild.log" 2>&1 || {
                cat "$dir/sbuild.log" "$dir/sbuild/helloworld_${version}_$build.build" || true
                fail "sbuild on $release for $build"
            }
        done
        suite_ran "$dir/sbuild/helloworld_${version}_$arch.build" "sbuild on $release"

        # The tests in debian/tests against the package sbuild built,
        # installed in a new root made from the same tarball (-U: which
        # holds no package lists). Through a pipe: written to a file
        # directly, its log lost its start to a process under it.
        autopkgtest -U "$dir/sbuild/helloworld_${version}_$arch.changes" -- \
            unshare --release "$release" --arch "$arch" --tarball "$dir/buildd.tar" 2>&1 |
            cat >"$dir/autopkgtest.log" || { cat "$dir/autopkgtest.log"; fail "autopkgtest on $release"; }
        sed -n '/@@@@@@@@@@@@@@@@@@@@ summary$/,$p' "$dir/autopkgtest.log"
    fi

    # dpkg-buildpackage and lintian of this release: this host's own, or in
    # a new root of the release.
    if [[ "$release" == "$host" ]]; then
        lint "$release" "$dir"
    elif [[ -n "$roots" ]]; then
        mkdir "$dir/dpkg"
        new_root "$release" /dev/null --variant=buildd --architectures="$arch,arm64" \
            --include=lintian,crossbuild-essential-arm64,libc6:arm64 \
            --customize-hook="copy-in $work/source $work/other-release.sh /srv" \
            ${unshare:+"--customize-hook=copy-in $dir/sbuild /srv"} \
            --customize-hook="chroot \"\$1\" bash -euo pipefail /srv/other-release.sh $release" \
            --customize-hook="sync-out /srv/dpkg $dir/dpkg"
    fi

    if [[ -n "$unshare" ]]; then
        for deb in "$dir/sbuild/"helloworld_*.deb; do
            cmp "$deb" "$dir/dpkg/${deb##*/}" ||
                fail "sbuild's ${deb##*/} on $release differs from dpkg-buildpackage's"
        done
        echo "sbuild on $release: the same .deb files as dpkg-buildpackage's"
    fi

    if [[ -n "$roots" ]]; then
        # Debian 12's piuparts takes the directory debconf makes in a Debian
        # 13 root for a file left behind. It unpacks only gzip's tarballs,
        # which take minutes to make: it is given the root unpacked.
        mkdir "$dir/root"
        tar -C "$dir/root" -xf "$dir/buildd.tar"
        piuparts -e "$dir/root" --keep-sources-list -d "$release" \
            -I '/var/cache/debconf/tmp\.ci/' "$dir/dpkg/helloworld_${version}_$arch.deb" \
            >"$dir/piuparts.log" 2>&1 || { cat "$dir/piuparts.log"; fail "piuparts on $release"; }
        tail -n 2 "$dir/piuparts.log"
    fi
}
# The releases alongside each other, each one's output kept apart.
for release in "${debian_releases[@]}"; do
    background "$release" check_release "$release"
done
for release in "${debian_releases[@]}"; do collect "$release"; done
echo "Debian packages: ok"
