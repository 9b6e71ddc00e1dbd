#!/usr/bin/env bash
# The format check in a repository of its own: the files of the newest
# commit are judged, older commits and other files are not, and a first
# commit (no previous one) is judged whole.
set -uo pipefail
source_root="$1"
repo="$(mktemp -d)"
trap 'rm -rf "$repo"' EXIT
source "$(dirname "$0")/expect.sh"

mkdir -p "$repo/scripts" "$repo/src"
cp "$source_root/scripts/check-format.sh" "$repo/scripts/"
cp "$source_root/.clang-format" "$repo/"
cd "$repo" || exit 1
git init -q .
git config user.email check@example.invalid
git config user.name check
commit() { git add -A && git commit -qm "$1"; }

run_check() { scripts/check-format.sh; }

good='#include <cstdio>

namespace lumavo {

int Twice(int value)
{
    return value * 2;
}

} // namespace lumavo
'
bad='namespace lumavo { int Twice(int value){return value*2;} }
'
# The first commit, laid out badly: judged whole, though there is no previous commit.
printf '%s' "$bad" > src/Twice.cpp
commit first
expect fail "a first commit laid out badly" "src/Twice.cpp"

printf '%s' "$good" > src/Twice.cpp
commit mended
expect pass "the file mended"

# A badly laid out file the newest commit does not touch is not its concern.
printf '%s' "$bad" > src/Old.h
commit "old file"
printf 'notes\n' > README.md
commit "text only"
expect pass "a commit of no C or C++ file" "no C or C++ file"

# Deleting a file is no layout fault; changing a header is checked.
git rm -q src/Old.h && commit "removed"
expect pass "a commit that deletes a file"
printf '%s' "$bad" > src/Parts.c
printf '%s' "$good" > src/Good.h
commit "c file"
expect fail "a C file of the newest commit" "src/Parts.c"

# Blocks of includes keep their order (stdio.h before jpeglib.h).
printf '#include <stdio.h>\n\n#include <jpeglib.h>\n\nint main()\n{\n    return 0;\n}\n' > src/Parts.c
commit "order"
expect pass "includes in an order that matters"

finish check-format-test
