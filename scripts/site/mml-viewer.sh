#!/usr/bin/env bash
# Example CAD viewer for the MML navigator.
#
# Registered for a table in the host profile (docs/site-scripts.md):
#   KELZUMO.VIEWER.TOVRA_MODEL.COMMAND = /path/to/mml-viewer.sh
# and started by the navigator with the current option and the objects to
# open:
#   mml-viewer.sh OPTION_NUMBER OPTION_TEXT OBJECT [OBJECT ...]
# an object by itself as four words, ENV TABLE COID COMPID, an object placed
# in a product as ten:
#   @instance ENV TABLE COID COMPID TOP_ENV TOP_TABLE TOP_COID TOP_COMPID PATH
# It opens nothing: it appends one line recording what it was asked to open
# to $MML_VIEWER_LOG (default $MML_TMPDIR/MMLViewer.log, $MML_TMPDIR
# defaulting to /tmp):
#   option <number> <text>: <env> <table> <coid> <compid>; <env> ...
# an instance written "<env> <table> <coid> <compid> in <top> at <path>".
set -u
log="${MML_VIEWER_LOG:-${MML_TMPDIR:-/tmp}/MMLViewer.log}"
(( $# >= 2 )) || { echo "mml-viewer: expected OPTION_NUMBER OPTION_TEXT and objects" >&2; exit 2; }
number=$1 text=$2
shift 2
(( $# > 0 )) || { echo "mml-viewer: no object to open" >&2; exit 2; }
line="option $number $text:"
sep=" "
while (( $# > 0 )); do
  if [[ $1 == @instance ]]; then
    (( $# >= 10 )) || { echo "mml-viewer: an instance comes as ten words" >&2; exit 2; }
    line+="$sep$2 $3 $4 $5 in $6 $7 $8 $9 at ${10}"
    shift 10
  else
    (( $# >= 4 )) || { echo "mml-viewer: objects come as four words each" >&2; exit 2; }
    line+="$sep$1 $2 $3 $4"
    shift 4
  fi
  sep="; "
done
printf '%s\n' "$line" >>"$log"
