#!/usr/bin/env bash
# Parses every source file that holds Windows-only code with Debian's
# mingw-w64 cross compiler against the Qt headers, so that a change that
# breaks the Windows build fails here too. The files are found afresh each
# time: every *_win.cpp, and every .cpp or .h with a Q_OS_WIN or _WIN32
# branch. Nothing is linked; warnings are shown, errors fail.
#   scripts/check-windows-build.sh [-v]    (-v: list the files checked)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cxx="${LUMAVO_MINGW_CXX:-x86_64-w64-mingw32-g++-posix}"
if ! command -v "$cxx" >/dev/null 2>&1; then
  echo "check-windows-build: $cxx not found; scripts/install-deps.sh installs it (g++-mingw-w64-x86-64-posix)" >&2
  exit 1
fi

qt="$(pkg-config --variable=includedir Qt6Core)"
flags=(-std=c++20 -fsyntax-only -Wall -Wextra -Wno-unused-parameter
  # As Qt's CMake package sets for every Windows target.
  -DUNICODE -D_UNICODE
  # As Qt's CMake targets set for the modules a target links (QtTest's
  # widget and GUI helpers depend on them).
  -DQT_CORE_LIB -DQT_GUI_LIB -DQT_WIDGETS_LIB -DQT_NETWORK_LIB -DQT_PRINTSUPPORT_LIB -DQT_TESTLIB_LIB
  -DLUMAVO_PROGRAM_DIR='"."' -DLUMAVO_SOURCE_DIR='"."'
  -I"$here" -I"$here/tests"
  # Qt's Linux headers are not quite at home on Windows: their own warnings
  # (dllimport declared twice) are not ours.
  -isystem "$qt")
for module in "$qt"/Qt*/; do flags+=(-isystem "${module%/}"); done
for dir in $(pkg-config --cflags-only-I freetype2); do flags+=(-isystem "${dir#-I}"); done
# The test and benchmark frameworks' headers, without the rest of the host's /usr/include.
shim="$(mktemp -d)"
trap 'rm -rf "$shim"' EXIT
ln -s /usr/include/gtest "$shim/gtest"
ln -s /usr/include/gmock "$shim/gmock"
ln -s /usr/include/benchmark "$shim/benchmark"
flags+=(-isystem "$shim")

mapfile -t files < <(
  cd "$here"
  find . \( -path './build*' -o -path './.*' \) -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print |
    sed 's|^\./||' | sort |
    while read -r file; do
      case "$file" in
        *_win.cpp) echo "$file" ;;
        *) if grep -qE 'Q_OS_WIN|_WIN32' "$file"; then echo "$file"; fi ;;
      esac
    done
)
if [ ${#files[@]} -eq 0 ]; then
  echo "check-windows-build: no file with Windows code found under $here" >&2
  exit 1
fi
[ "${1:-}" = "-v" ] && printf '  %s\n' "${files[@]}"

# One compiler per file, both cores busy; a header is parsed through a unit
# that includes it.
export cxx here
failed="$(printf '%s\n' "${files[@]}" | xargs -P "$(nproc)" -I{} bash -c '
  file="$1"; shift
  rc=0
  if [[ "$file" == *.h ]]; then
    out="$(echo "#include \"$here/$file\"" | "$cxx" "$@" -x c++ - 2>&1)" || rc=$?
  else
    out="$("$cxx" "$@" "$here/$file" 2>&1)" || rc=$?
  fi
  [ -z "$out" ] || printf "%s\n" "$out" >&2
  [ "$rc" -eq 0 ] || echo "$file"
' _ {} "${flags[@]}")"

if [ -n "$failed" ]; then
  echo "check-windows-build: these files do not compile for Windows:" >&2
  echo "$failed" | sed 's/^/  /' >&2
  exit 1
fi
echo "check-windows-build: ${#files[@]} files with Windows code parse with $cxx"
