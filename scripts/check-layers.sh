#!/usr/bin/env bash
# Fails when a folder of the program includes a header of a folder it may not
# use. The layers stand in may_use below, lowest first: each folder may use
# only the folders its line names (the build links the same libraries,
# docs/architecture.md draws them).
# The tests, benchmarks and fuzz targets stand above all of them.
#   scripts/check-layers.sh [source-root]
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"

declare -A may_use=(
  # folder   the folders it may use
  [platform]=""
  [imaging]="platform"
  [faces]="imaging platform"
  [templates]="imaging platform"
  [framing]="faces templates imaging platform"
  [printing]=""
  [handoffs]="imaging platform"
  [skin]=""
  [ui]="framing skin handoffs printing templates faces imaging platform"
  [app]="framing ui skin templates imaging platform"
  [cli]="framing printing templates faces imaging platform"
  [assets]="platform"
  [tools]="imaging platform"
)

broken=0
checked=0
for folder in "${!may_use[@]}"; do
  [ -d "$root/$folder" ] || continue
  allowed=" $folder ${may_use[$folder]} "
  while IFS= read -r hit; do
    [ -n "$hit" ] || continue
    file="${hit%%:*}"
    rest="${hit#*:}"
    line="${rest%%:*}"
    used="$(printf '%s' "${rest#*:}" | sed -E 's|^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^/"]+)/.*|\1|')"
    if [ "$used" = ".." ]; then
      echo "check-layers: ${file#"$root"/}:$line: includes reach out of $folder by \"../\"; name the folder instead" >&2
      broken=1
      continue
    fi
    # Only the program's own folders count.
    [ -n "${may_use[$used]+set}" ] || continue
    if [[ "$allowed" != *" $used "* ]]; then
      echo "check-layers: ${file#"$root"/}:$line: $folder may not use $used" >&2
      broken=1
    fi
  done < <(grep -rnE --include='*.cpp' --include='*.h' --include='*.c' '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' "$root/$folder" || true)
  checked=$((checked + 1))
done
if [ "$checked" -eq 0 ]; then
  echo "check-layers: no program folder under $root" >&2
  exit 1
fi
[ "$broken" -eq 0 ] || exit 1
echo "check-layers: $checked folders include only the layers below them"
