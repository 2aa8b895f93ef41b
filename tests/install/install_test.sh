#!/usr/bin/env bash
# install_test.sh BUILD_DIR: installs the build into a temporary prefix, moves
# the prefix elsewhere, and uses it from there as a site would: the demo
# database, the batch impact analysis, the impact query as text and as JSON
# (same rows), and the example program built against the installed package
# (same rows as mml query).
set -euo pipefail
build=$(readlink -f "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/first" >/dev/null
mv "$work/first" "$work/moved"
prefix=$work/moved
mml=$prefix/bin/mml
unset MML_RESOURCES MML_DB MML_PROFILE
export MML_TMPDIR=$work/tmp
mkdir -p "$MML_TMPDIR" "$work/run"
cd "$work/run"

# Nothing of the build machine is compiled into the program. Debug
# information names the sources by design, so the check reads a copy without
# it; a sanitizer build also keeps source names in its report texts, so there
# the check is left out.
source_dir=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$build/CMakeCache.txt")
if grep -q "^MML_SANITIZE:BOOL=ON" "$build/CMakeCache.txt"; then
  echo "skipped: a sanitizer build names its sources in its reports"
else
  objcopy --strip-debug "$mml" "$work/mml-nodebug"
  ! grep -qF "$source_dir" "$work/mml-nodebug" || fail "the installed program names the source tree $source_dir"
  ! grep -qF "$build" "$work/mml-nodebug" || fail "the installed program names the build tree $build"
fi

"$mml" --version | grep -qx "mml [0-9][0-9.]*" || fail "mml --version"
[ -s "$prefix/share/man/man1/mml-query.1.gz" ] || fail "no manual page of mml query"

# The demo comes from the moved prefix.
"$mml" --db demo.db db demo >demo.out
grep -qx "profile: $prefix/share/mml/demo/demo.profile" demo.out || fail "demo profile: $(cat demo.out)"
export MML_DB=$PWD/demo.db MML_PROFILE=$prefix/share/mml/demo/demo.profile
cp "$prefix/share/mml/demo/demo.roots" roots
"$mml" impacts roots 2 >impacts.out
[ -s roots.ImpactedBy ] && [ -s roots.ImpactsOn ] || fail "impacts wrote no output files"

{ read -r env; read -r table; read -r coid; read -r compid; } <roots
object=("$env" "$table" "$coid" "$compid")
"$mml" query impacted-by "${object[@]}" >text.out
"$mml" query impacted-by --json "${object[@]}" >json.out
[ -s text.out ] || fail "the first demo root impacts nothing"
python3 - json.out text.out <<'PY' || fail "JSON and text rows differ"
import json, sys
rows = json.load(open(sys.argv[1]))
lines = ["\t".join((r["env"], r["table"], r["coid"], r["compid"])) + "\n" for r in rows]
sys.exit(lines != open(sys.argv[2]).readlines())
PY

# The example, built against the installed package, answers as mml query.
cmake -S "$prefix/share/doc/mml/examples" -B example -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >example.log 2>&1 &&
  cmake --build example >>example.log 2>&1 || fail "the example does not build: $(cat example.log)"
example/impacted-by "$MML_DB" "${object[@]}" >example.out
diff text.out example.out || fail "the example and mml query differ"
# The same, built with the flags of the pkg-config file.
pc=$(PKG_CONFIG_PATH=$prefix/lib/pkgconfig pkg-config --cflags --libs mml) || fail "pkg-config mml"
# shellcheck disable=SC2086
g++ -o example-pc "$prefix/share/doc/mml/examples/impacted_by.cc" $pc
./example-pc "$MML_DB" "${object[@]}" | diff text.out - || fail "the pkg-config build and mml query differ"
echo "installed tree at a moved prefix works"
