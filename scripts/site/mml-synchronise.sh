#!/usr/bin/env bash
# Example synchronisation script for the MML navigator.
#
# Started by the graph window when a synchronisation plan (or a single link)
# of synchronise type BATCH is confirmed, without arguments other than its own
# path. It reads the command file MMLSync, brings each object to synchronise
# up to date, and writes its return code to the error files.
#
#   MML_TMPDIR  directory of the command and error files (default /tmp)
#   MML_DB      the database (SQLite file or postgresql:// URL)
#   MML_BIN     the mml program (default: mml from PATH)
#
# For each record, in one transaction for the whole file:
#   - a link of the record's type that points to an object that is not its
#     latest revision (flag 1) is pointed to the latest revision instead;
#   - the links of that type from the object to the other objects get as
#     C_MML_TS the C_LASTMOD of the object they now point to (the link
#     database counts a link in step when these two are equal);
#   - the object's C_LASTMOD becomes the synchronisation time, or the latest
#     C_LASTMOD of the objects it now points to when that one is later
#     (for link types compared by the objects' dates),
# so that a following impact run sees those links in step.
#
# The module reads the return code from MMLSync_err after a plan and from
# MML_Sync.err after a single link; both are written.
# Return codes: 0 done, 2 the command file is malformed, 3 the database
# update failed, 4 the command file cannot be read.
set -u -o pipefail

dir="${MML_TMPDIR:-/tmp}"
command_file="$dir/MMLSync"
mml="${MML_BIN:-mml}"

finish() {
  local name tmp
  for name in MMLSync_err MML_Sync.err; do
    tmp="$(mktemp "$dir/.$name.XXXXXX")" || continue
    printf '%s\n' "$1" >"$tmp" && mv -f "$tmp" "$dir/$name"
  done
  exit "$1"
}

fail() {
  echo "mml-synchronise: $2" >&2
  finish "$1"
}

is_hex16() { [[ "$1" =~ ^[0-9A-Fa-f]{16}$ ]]; }
is_name() { [[ "$1" =~ ^[A-Za-z0-9_#-]+$ ]]; }
sql_text() { printf "'%s'" "${1//\'/\'\'}"; }
link_label() { if [[ "$1" == KEL* ]]; then printf 'V5_%s' "$1"; else printf 'KELMM%s' "$1"; fi; }

# The C_LASTMOD of an object, as the database prints it (empty when none).
object_date() {
  printf "SELECT C_LASTMOD FROM \$VS_%s.%s WHERE \$COID = X'%s' AND \$COMPID = X'%s';\n" "$1" "$2" "$3" "$4" |
    "$mml" db exec | head -n 1
}

[[ -r "$command_file" && ! -L "$command_file" ]] || fail 4 "cannot read $command_file"
mapfile -t lines <"$command_file"
total=${#lines[@]}
pos=0
# Takes the next line into $line; fails on a short file.
next() {
  (( pos < total )) || fail 2 "$command_file ends too early"
  line="${lines[pos]}"
  pos=$(( pos + 1 ))
}
# Reads four lines naming an object into the named variables' prefix.
read_object() {
  local e t c p
  next; e="$line"; next; t="$line"; next; c="$line"; next; p="$line"
  is_name "$e" && is_name "$t" || fail 2 "line $pos: invalid environment or table"
  is_hex16 "$c" && is_hex16 "$p" || fail 2 "line $pos: invalid identifier"
  printf -v "$1_env" '%s' "$e"
  printf -v "$1_table" '%s' "$t"
  printf -v "$1_coid" '%s' "$c"
  printf -v "$1_compid" '%s' "$p"
}

next
[[ "$line" =~ ^[0-9]+$ ]] || fail 2 "the first line of $command_file is not a count"
records="$line"
now="$(date -u '+%Y-%m-%d %H:%M:%S.%6N')"
sql=""
for (( r = 0; r < records; r++ )); do
  read_object obj
  next; type="$line"
  [[ -n "$type" ]] || fail 2 "record $(( r + 1 )): empty link type"
  label="$(link_label "$type")"
  next; n="$line"
  [[ "$n" =~ ^[0-9]+$ ]] || fail 2 "record $(( r + 1 )): the number of objects is not a number"
  stamp="$now"
  for (( k = 0; k < n; k++ )); do
    next; flag="$line"
    read_object other
    target_env="$other_env" target_table="$other_table" target_coid="$other_coid" target_compid="$other_compid"
    case "$flag" in
      0) ;;
      1)
        read_object latest
        target_env="$latest_env" target_table="$latest_table"
        target_coid="$latest_coid" target_compid="$latest_compid"
        ;;
      *) fail 2 "record $(( r + 1 )): invalid flag \"$flag\"" ;;
    esac
    date_of_target="$(object_date "$target_env" "$target_table" "$target_coid" "$target_compid")" ||
      fail 3 "cannot read the date of $target_coid"
    [[ "$date_of_target" > "$stamp" ]] && stamp="$date_of_target"
    # A link is in step when its time equals the date of the object it
    # points to.
    link_stamp="${date_of_target:-$now}"
    where="WHERE \$COID = X'$obj_coid' AND \$COMPID_FATHER = X'$obj_compid' AND \$TYPE = $(sql_text "$label")"
    where+=" AND \$COID_REF = X'$other_coid' AND \$COMPID_REF = X'$other_compid'"
    set_clause="C_MML_TS = $(sql_text "$link_stamp")"
    if [[ "$flag" == 1 ]]; then
      set_clause+=", \$COMPNAME = $(sql_text "$target_env.$target_table")"
      set_clause+=", \$COID_REF = X'$target_coid', \$COMPID_REF = X'$target_compid'"
    fi
    sql+="UPDATE \$VS_$obj_env.\$EXT SET $set_clause $where;"$'\n'
  done
  sql+="UPDATE \$VS_$obj_env.$obj_table SET C_LASTMOD = $(sql_text "$stamp") WHERE \$COID = X'$obj_coid' AND \$COMPID = X'$obj_compid';"$'\n'
done
(( pos == total )) || fail 2 "$command_file has $(( total - pos )) lines after the last record"

if (( records > 0 )); then
  printf '%s' "$sql" | "$mml" db exec >/dev/null || fail 3 "the database update failed"
fi
finish 0
