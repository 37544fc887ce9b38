#!/usr/bin/env bash
# Dependencies run one way: a folder of src/ includes only folders of its own level or
# below. Prints each include that reaches upward, with its file and line.
#   db → core → ui → export, reportengine, import → the feature folders → app
set -uo pipefail
SRC=$1/src
declare -A LEVEL=(
  [db]=0 [core]=1 [ui]=2 [export]=3 [reportengine]=3 [import]=3
  [directories]=4 [journal]=4 [timesheet]=4 [reports]=4 [closing]=4 [history]=4
  [app]=5)
status=0
for dir in "$SRC"/*/; do
  folder=$(basename "$dir")
  if [ -z "${LEVEL[$folder]+set}" ]; then
    echo "src/$folder has no level here: add it to tests/layers/one_way.sh"
    status=1
    continue
  fi
  while IFS=: read -r file line target; do
    to=${target%%/*}
    [ -n "${LEVEL[$to]+set}" ] || continue
    if [ "${LEVEL[$to]}" -gt "${LEVEL[$folder]}" ]; then
      echo "${file#"$1"/}:$line: $folder includes $target, a folder above it"
      status=1
    fi
  done < <(grep -rnoE '^#include "[a-z]+/[^"]+"' "$dir" | sed -E 's/:#include "/:/; s/"$//')
done
[ "$status" = 0 ] && echo "every include of src/ runs downward or within its level"
exit $status
