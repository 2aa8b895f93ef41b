#!/usr/bin/env bash
# package_test.sh BUILD_DIR: builds the Debian packages with CPack, checks
# what they hold and declare, unpacks them into a scratch root and runs the
# demo from there.
set -euo pipefail
build=$(readlink -f "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$work/packages" >/dev/null)
runtime=$(ls "$work"/packages/mml_*.deb)
development=$(ls "$work"/packages/mml-dev_*.deb)

holds() {
  local deb=$1; shift
  local listing path
  listing=$(dpkg-deb -c "$deb" | awk '{print $6}')
  for path in "$@"; do
    grep -qx "\./$path" <<<"$listing" || fail "$(basename "$deb") does not hold /$path"
  done
}
holds "$runtime" usr/bin/mml usr/share/mml/KelLnkResource usr/share/mml/demo/demo.sql \
  usr/share/mml/demo/demo.profile usr/share/mml/scripts/site/mml-migrate.sh usr/share/man/man1/mml.1.gz \
  usr/share/man/man1/mml-query.1.gz usr/share/doc/mml/README.md
holds "$development" usr/include/mml/linkdb/kel_lnk_api.h usr/lib/cmake/mml/mmlConfig.cmake \
  usr/lib/pkgconfig/mml.pc usr/share/doc/mml/examples/impacted_by.cc

# The runtime libraries the program links, by their Debian package names
# (the C++ runtime and fmt are linked in).
depends=$(dpkg-deb -f "$runtime" Depends)
for package in libsqlite3-0 libpq5 libc6; do
  grep -q "\b$package" <<<"$depends" || fail "Depends does not name $package: $depends"
done
grep -q "^mml (= " <<<"$(dpkg-deb -f "$development" Depends)" || fail "mml-dev does not depend on mml"
# Only the control file and the checksums: no maintainer scripts.
for deb in "$runtime" "$development"; do
  members=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t | sed 's#^\./##' | grep -v '^$' | sort | tr '\n' ' ')
  [ "$members" = "control md5sums " ] || fail "$(basename "$deb") control members: $members"
done

# Unpacked into a scratch root, the program finds its files there.
dpkg -x "$runtime" "$work/root"
unset MML_RESOURCES MML_DB MML_PROFILE
export MML_TMPDIR=$work/tmp
mkdir -p "$MML_TMPDIR" "$work/run"
cd "$work/run"
mml=$work/root/usr/bin/mml
"$mml" --db demo.db db demo >/dev/null
cp "$work/root/usr/share/mml/demo/demo.roots" roots
"$mml" --db demo.db --profile "$work/root/usr/share/mml/demo/demo.profile" impacts roots 2 >/dev/null
[ -s roots.ImpactedBy ] || fail "the unpacked program wrote no impacts"
echo "packages hold and declare what they should"
