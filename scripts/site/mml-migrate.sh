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

[[ -r "$command_file" && ! -L "$command_file" ]] || fail 4 "cannot read $command_file"

# One pass over the command file: awk checks every unit and writes the
# statements; a malformed file gives its message on standard error and no
# statement.
stamp="$(date -u '+%Y-%m-%d %H:%M:%S.%6N')"
sql_file="$(mktemp "$dir/.MMLMigr_sql.XXXXXX")" || fail 4 "cannot create a temporary file in $dir"
trap 'rm -f "$sql_file"' EXIT
awk -v stamp="$stamp" -v file="$command_file" '
  function bad(text) { printf "mml-migrate: %s\n", text > "/dev/stderr"; failed = 1; exit 2 }
  function sql_text(v) { gsub(/\047/, "\047\047", v); return "\047" v "\047" }
  NR == 1 {
    if ($0 !~ /^[0-9]+$/) bad("the first line of " file " is not a count")
    count = $0 + 0
    next
  }
  { field[(NR - 2) % 6] = $0 }
  (NR - 1) % 6 == 0 {
    unit = (NR - 1) / 6
    env = field[0]; table = field[1]; coid = field[2]; compid = field[3]; reason = field[4]; type = field[5]
    if (env !~ /^[A-Za-z0-9_#-]+$/ || table !~ /^[A-Za-z0-9_#-]+$/) bad("unit " unit ": invalid environment or table")
    if (length(coid) != 16 || coid ~ /[^0-9A-Fa-f]/ || length(compid) != 16 || compid ~ /[^0-9A-Fa-f]/) bad("unit " unit ": invalid identifier")
    printf "UPDATE $VS_%s.%s SET C_LASTMOD = %s WHERE $COID = X\047%s\047 AND $COMPID = X\047%s\047;\n", env, table, sql_text(stamp), coid, compid
    if (reason == "LEAVE") {
      if (type != "0") bad("unit " unit ": a leaf unit has the link type \"" type "\"")
    } else if (reason == "NODE") {
      label = type ~ /^KEL/ ? "V5_" type : "KELMM" type
      printf "UPDATE $VS_%s.$EXT SET C_MML_TS = %s WHERE $COID = X\047%s\047 AND $COMPID_FATHER = X\047%s\047 AND $TYPE = %s;\n", env, sql_text(stamp), coid, compid, sql_text(label)
    } else {
      bad("unit " unit ": unknown reason \"" reason "\"")
    }
  }
  END {
    if (failed) exit 2
    if (NR == 0) bad("the first line of " file " is not a count")
    if (NR != 1 + 6 * count) bad(file " holds " NR " lines, expected " (1 + 6 * count))
  }
' "$command_file" >"$sql_file" || finish 2

if [[ -s "$sql_file" ]]; then
  "$mml" db exec "$sql_file" >/dev/null || fail 3 "the database update failed"
fi
finish 0
