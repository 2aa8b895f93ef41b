#!/usr/bin/env bash
# man-pages.sh MML OUTDIR VERSION: writes the manual pages of the program into
# OUTDIR: mml.1 from `mml --help`, and one page mml-GROUP.1 per subcommand
# group from `mml GROUP --help`, followed, for a group with subcommands of its
# own, by the help of each of them. The pages are compressed (.1.gz).
set -euo pipefail
mml=$1 out=$2 version=$3
mkdir -p "$out"
rm -f "$out"/*.1 "$out"/*.1.gz
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The names listed under "Subcommands:" in a help text.
subcommands() { sed -n '/^Subcommands:/,/^$/{/^  [a-z]/{s/^  \([^ ]*\).*/\1/;p}}'; }

# A help text as roff lines kept as they are.
verbatim() { sed -e 's/\\/\\e/g' -e "s/^\([.']\)/\\\\\&\1/"; }

page() {
  local name=$1 description=$2; shift 2
  local include=$work/$name.include
  : >"$include"
  local sub
  if [ $# -eq 0 ]; then
    cat "$work/mml.see-also" >"$include"
  else
    for sub in $("$mml" "$@" --help | subcommands); do
      [ -s "$include" ] || echo "[SUBCOMMANDS]" >"$include"
      {
        echo ".SS \"mml $* $sub\""
        echo ".nf"
        "$mml" "$@" "$sub" --help | verbatim
        echo ".fi"
      } >>"$include"
    done
  fi
  # help2man runs the program by its name: a wrapper that adds the group.
  printf '#!/bin/sh\nexec "%s" %s "$@"\n' "$mml" "$*" >"$work/$name"
  chmod +x "$work/$name"
  local includeOption=()
  [ ! -s "$include" ] || includeOption=(--include="$include")
  help2man --no-info --section=1 --source="mml $version" --version-string="$version" \
    --name="$description" "${includeOption[@]}" --output="$out/$name.1" "$work/$name"
}

groups=$("$mml" --help | subcommands)
{
  echo "[SEE ALSO]"
  for group in $groups; do echo ".BR mml-$group (1)"; done | sed '$!s/$/,/'
} >"$work/mml.see-also"
"$mml" --help | sed -n '/^Subcommands:/,/^$/p' | while read -r group description; do
  case $group in Subcommands: | '') continue ;; esac
  page "mml-$group" "$description" "$group"
done
page mml "the multi-model link navigator of the product database"
# Compressed, as manual pages are installed on Debian.
gzip -9nf "$out"/*.1
