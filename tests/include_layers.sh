#!/usr/bin/env bash
# Checks that every include runs down the layers of the tree, as the README's layout gives them:
# each folder may include itself and the folders listed after it, nothing else. Within features/, a
# feature may include its own folder and the shared headers of features/ itself; the plane trails
# take their settings from the sky sign's. Usage: include_layers.sh SOURCE_DIR (exits 1 on a fault).
set -u
cd "$1" || exit 2
declare -A may=(
  [platform]="platform"
  [settings]="settings platform"
  [injector]="injector platform"
  [plugin]="plugin injector platform"
  [features]="features plugin injector settings platform"
  [top]="top features plugin injector settings platform"
  [hostsim]="hostsim"
  [tools]="tools top features plugin injector settings platform hostsim"
)
faults=0
fault() {
  echo "$1: includes $2, which its layer may not" >&2
  faults=$((faults + 1))
}
while IFS= read -r file; do
  case $file in
    */*) layer=${file%%/*} ;;
    *) layer=top ;;
  esac
  [ -n "${may[$layer]+x}" ] || continue  # tests and benchmarks may include everything
  while IFS= read -r included; do
    case $included in
      */*) target=${included%%/*} ;;
      *) target=top ;;
    esac
    [[ " ${may[$layer]} " == *" $target "* ]] || fault "$file" "$included"
    # One feature folder does not reach into another's, but for the plane trails' sky sign settings.
    if [ "$layer" = features ] && [ "$target" = features ]; then
      own=$(echo "$file" | cut -d/ -f2) other=$(echo "$included" | cut -d/ -f2)
      if [[ $file == features/*/* && $included == features/*/* && $own != "$other" ]] &&
         [ "$included" != features/sky_logo/sky_logo_settings.h -o "$own" != planes ]; then
        fault "$file" "$included"
      fi
    fi
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(git ls-files -- '*.h' '*.cpp' 2>/dev/null || find . -name '*.h' -o -name '*.cpp' | sed 's#^\./##')
if [ "$faults" -ne 0 ]; then
  echo "$faults includes run against the layers" >&2
  exit 1
fi
echo "every include runs down the layers"
