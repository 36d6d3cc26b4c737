#!/usr/bin/env bash
# scripts/check-layers.sh: lists every include in src/ and tools/ that points up or sideways.
#
# The build already refuses most of these (each library sees only its own folder and those it
# links); this check also names the ones a link would let through, such as a layer that links a
# sibling it should not know, and says which rule each breaks. Exit 1 when any is found.
set -euo pipefail
cd "$(dirname "$0")/.."

# What each folder may include besides itself: the layers below it (docs/architecture.md).
declare -A allowed=(
  [platform]=""
  [qa118dec]=""
  [core]="platform"
  [net]="core platform"
  [script]="core platform"
  [gfx]="core platform"
  [sound]="gfx core platform qa118dec/paramblock.h"
  [movie]="gfx core platform"
  [player]="movie script sound gfx net core platform"
  [plugin]="player movie script sound gfx net core platform"
  [skvc]="movie script sound gfx net core platform"
  [qmsd]="platform"
  [skvplay]="player movie script sound gfx net core platform plugin/npapi.h plugin/observer.h"
)
folders="platform qa118dec core net script gfx sound movie player plugin"

found=0
check() { # check FOLDER DIRECTORY
  local from=$1 dir=$2 file line target layer
  while IFS=: read -r file line target; do
    layer=${target%%/*}
    [ "$layer" = "$from" ] && continue
    case " $folders " in *" $layer "*) ;; *) continue ;; esac
    case " ${allowed[$from]} " in *" $layer "* | *" $target "*) continue ;; esac
    echo "$file:$line: $from includes $target, but $from may include only: ${allowed[$from]:-nothing else}"
    found=1
  done < <(grep -rnoE '^#include "[a-z0-9]+/[A-Za-z0-9_./]+"' "$dir" --include='*.h' --include='*.cpp' |
           sed -E 's/:#include "/:/; s/"$//')
}

for f in $folders; do check "$f" "src/$f"; done
for t in skvc qmsd skvplay; do check "$t" "tools/$t"; done

if [ "$found" = 1 ]; then
  echo "check-layers: includes above point up or sideways; move the code down or the include out." >&2
  exit 1
fi
echo "check-layers: every include points down"
