#!/usr/bin/env bash
# Builds Lumavo and runs every test: the normal build, then all the tests
# again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/install-deps.sh"
export QT_QPA_PLATFORM=offscreen
# The files of the newest commit keep the house layout (quick, before building).
"$here/scripts/check-format.sh"

"$here/scripts/build.sh" "$here/build" -DCMAKE_BUILD_TYPE=Release -DLUMAVO_BUILD_TESTS=ON -DLUMAVO_BUILD_BENCH=ON
(cd "$here/build" && ctest --output-on-failure -j 2)

"$here/scripts/build.sh" "$here/build-asan" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLUMAVO_SANITIZE=ON -DLUMAVO_BUILD_TESTS=ON -DLUMAVO_BUILD_BENCH=OFF
# The leak checker's tracking of dynamic TLS (up to GCC 13) can mistake a
# block for an old glibc layout and crash at exit; the blocks are not needed.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:intercept_tls_get_addr=0
export LSAN_OPTIONS="suppressions=$here/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd "$here/build-asan" && ctest --output-on-failure -j 2)
