#!/usr/bin/env bash
# The layer check on small trees of its own: what it must let through and
# each way of breaking the layers it must catch.
set -uo pipefail
check="$1"
tree="$(mktemp -d)"
trap 'rm -rf "$tree"' EXIT
source "$(dirname "$0")/expect.sh"

run_check() { "$check" "$tree"; }

mkdir -p "$tree"/{platform,imaging,templates,ui,app,cli,tests/engine}
printf '#pragma once\n' > "$tree/platform/Registry.h"
printf '#include "platform/Registry.h"\n#include "imaging/Other.h"\n#include <QImage>\n' > "$tree/imaging/PhotoImage.cpp"
printf '#include "imaging/PhotoImage.h"\n' > "$tree/templates/Composition.cpp"
printf '#include "templates/Composition.h"\n#include "ui/Own.h"\n' > "$tree/ui/Window.cpp"
# The tests may use everything.
printf '#include "app/PortraitApp.h"\n#include "ui/Window.h"\n' > "$tree/tests/engine/Any.cpp"
expect pass "includes of lower layers"

printf '  #  include "templates/Composition.h"\n' > "$tree/imaging/Reach.h"
expect fail "a lower layer including a higher one" "imaging/Reach.h:1: imaging may not use templates"
rm "$tree/imaging/Reach.h"

printf '#include "app/PortraitApp.h"\n' > "$tree/cli/Road.cpp"
expect fail "the command line using the application shell" "cli/Road.cpp:1: cli may not use app"
rm "$tree/cli/Road.cpp"

printf '#include "ui/PhotoEditDlg.h"\n' > "$tree/platform/Up.c"
expect fail "a C file of the lowest layer" "platform may not use ui"
rm "$tree/platform/Up.c"

printf '#include "../ui/Window.h"\n' > "$tree/templates/Around.cpp"
expect fail "a way around by the parent folder" "templates/Around.cpp:1"
rm "$tree/templates/Around.cpp"

expect pass "the tree mended again"
rm -rf "$tree"/{platform,imaging,templates,ui,app,cli}
expect fail "a tree without the program's folders" "no program folder"

finish check-layers-test
