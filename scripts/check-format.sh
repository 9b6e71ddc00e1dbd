#!/usr/bin/env bash
# Checks that the C and C++ files the newest commit changed are laid out as
# .clang-format says (Debian's clang-format). Without a previous commit,
# every file of the commit is checked. Files the commit deleted are skipped.
#   scripts/check-format.sh [commit]     (default HEAD)
#   LUMAVO_CLANG_FORMAT=clang-format-14 scripts/check-format.sh
# To mend: clang-format -i FILE...
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
commit="${1:-HEAD}"
tool="${LUMAVO_CLANG_FORMAT:-clang-format}"
if ! command -v "$tool" >/dev/null 2>&1; then
  echo "check-format: $tool not found; scripts/install-deps.sh installs it (clang-format)" >&2
  exit 1
fi
cd "$here"
if ! git rev-parse --verify -q "$commit^{commit}" >/dev/null; then
  echo "check-format: $commit is not a commit of $here" >&2
  exit 1
fi
if git rev-parse --verify -q "$commit~1^{commit}" >/dev/null; then
  list=(git diff --name-only --diff-filter=d "$commit~1" "$commit")
else
  list=(git diff-tree --root --no-commit-id --name-only -r --diff-filter=d "$commit")
fi
mapfile -t files < <("${list[@]}" -- '*.c' '*.cpp' '*.h' '*.hpp' | while read -r f; do [ -f "$f" ] && echo "$f"; done)
if [ ${#files[@]} -eq 0 ]; then
  echo "check-format: no C or C++ file changed in $commit"
  exit 0
fi
if ! "$tool" --style=file --dry-run --Werror "${files[@]}"; then
  echo "check-format: these files are not laid out as .clang-format says (mend: clang-format -i FILE):" >&2
  for f in "${files[@]}"; do
    "$tool" --style=file --dry-run --Werror "$f" >/dev/null 2>&1 || echo "  $f" >&2
  done
  exit 1
fi
echo "check-format: ${#files[@]} changed files are laid out as .clang-format says"
