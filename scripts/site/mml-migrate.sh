#!/usr/bin/env bash
# Example migration script for the MML navigator.
#
# Called by "mml migrate" (and by any batch program that runs a migration)
# without arguments other than its own path, once per root object. It reads
# the command file MMLMigr, brings every listed object up to date in the
# database, and writes its return code to the error file MMLMigr_err.
#
#   MML_TMPDIR  directory of the command and error files (default /tmp)
#   MML_DB      the database (SQLite file or postgresql:// URL)
#   MML_BIN     the mml program (default: mml from PATH)
#
# What "migrating" means is the site's business. This example stamps, in one
# transaction, each object's C_LASTMOD and, for a unit with links, the
# C_MML_TS of the links of that type the object holds, all with the same
# time. Objects come children first, so after the run every migrated object
# is dated no earlier than the objects it points to.
#
# Return codes (written to MMLMigr_err and used as exit status):
#   0 done, 2 the command file is malformed, 3 the database update failed,
#   4 the command file cannot be read.
set -u -o pipefail

dir="${MML_TMPDIR:-/tmp}"
command_file="$dir/MMLMigr"
error_file="$dir/MMLMigr_err"
mml="${MML_BIN:-mml}"

# Writes the return code to the error file (replacing it whole) and exits.
finish() {
  local tmp
  tmp="$(mktemp "$dir/.MMLMigr_err.XXXXXX")" || exit "$1"
  printf '%s\n' "$1" >"$tmp" && mv -f "$tmp" "$error_file"
  exit "$1"
}

fail() {
  echo "mml-migrate: $2" >&2
  finish "$1"
}

is_hex16() { [[ "$1" =~ ^[0-9A-Fa-f]{16}$ ]]; }
is_name() { [[ "$1" =~ ^[A-Za-z0-9_#-]+$ ]]; }
sql_text() { printf "'%s'" "${1//\'/\'\'}"; }
# The label stored in $TYPE for a link type.
link_label() { if [[ "$1" == KEL* ]]; then printf 'V5_%s' "$1"; else printf 'KELMM%s' "$1"; fi; }

[[ -r "$command_file" && ! -L "$command_file" ]] || fail 4 "cannot read $command_file"
mapfile -t lines <"$command_file"

count="${lines[0]:-}"
[[ "$count" =~ ^[0-9]+$ ]] || fail 2 "the first line of $command_file is not a count"
(( ${#lines[@]} == 1 + 6 * count )) || fail 2 "$command_file holds ${#lines[@]} lines, expected $((1 + 6 * count))"

stamp="$(date -u '+%Y-%m-%d %H:%M:%S.%6N')"
sql=""
for (( u = 0; u < count; u++ )); do
  i=$(( 1 + 6 * u ))
  env="${lines[i]}" table="${lines[i+1]}" coid="${lines[i+2]}" compid="${lines[i+3]}"
  reason="${lines[i+4]}" type="${lines[i+5]}"
  unit=$(( u + 1 ))
  is_name "$env" && is_name "$table" || fail 2 "unit $unit: invalid environment or table"
  is_hex16 "$coid" && is_hex16 "$compid" || fail 2 "unit $unit: invalid identifier"
  sql+="UPDATE \$VS_$env.$table SET C_LASTMOD = $(sql_text "$stamp") WHERE \$COID = X'$coid' AND \$COMPID = X'$compid';"$'\n'
  case "$reason" in
    LEAVE) [[ "$type" == 0 ]] || fail 2 "unit $unit: a leaf unit has the link type \"$type\"" ;;
    NODE)
      sql+="UPDATE \$VS_$env.\$EXT SET C_MML_TS = $(sql_text "$stamp") WHERE \$COID = X'$coid'"
      sql+=" AND \$COMPID_FATHER = X'$compid' AND \$TYPE = $(sql_text "$(link_label "$type")");"$'\n'
      ;;
    *) fail 2 "unit $unit: unknown reason \"$reason\"" ;;
  esac
done

if (( count > 0 )); then
  printf '%s' "$sql" | "$mml" db exec >/dev/null || fail 3 "the database update failed"
fi
finish 0
