#!/usr/bin/env bash
# Example CAD viewer for the MML navigator.
#
# Registered for a table in the host profile (docs/site-scripts.md):
#   KELZUMO.VIEWER.TOVRA_MODEL.COMMAND = /path/to/mml-viewer.sh
# and started by the navigator with the current option and the objects to
# open, four words each:
#   mml-viewer.sh OPTION_NUMBER OPTION_TEXT ENV TABLE COID COMPID [ENV TABLE COID COMPID ...]
# It opens nothing: it appends one line recording what it was asked to open
# to $MML_VIEWER_LOG (default $MML_TMPDIR/MMLViewer.log, $MML_TMPDIR
# defaulting to /tmp):
#   option <number> <text>: <env> <table> <coid> <compid>; <env> ...
set -u
log="${MML_VIEWER_LOG:-${MML_TMPDIR:-/tmp}/MMLViewer.log}"
(( $# >= 2 )) || { echo "mml-viewer: expected OPTION_NUMBER OPTION_TEXT and objects" >&2; exit 2; }
number=$1 text=$2
shift 2
(( $# > 0 && $# % 4 == 0 )) || { echo "mml-viewer: objects come as four words each" >&2; exit 2; }
line="option $number $text:"
sep=" "
while (( $# > 0 )); do
  line+="$sep$1 $2 $3 $4"
  sep="; "
  shift 4
done
printf '%s\n' "$line" >>"$log"
