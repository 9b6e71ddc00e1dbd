#!/usr/bin/env bash
# Builds Lumavo and starts it on the bundled sample templates.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" "$here/build" -DCMAKE_BUILD_TYPE=Release -DLUMAVO_BUILD_TESTS=OFF -DLUMAVO_BUILD_BENCH=OFF

bin="$here/build/bin"
# The windows are not there yet: render a demo portrait with the batch
# command from the first sample photo and the 4R sample template.
photo="$(ls "$bin/samples/photos/"*.jpg | head -n 1)"
template="$(ls "$bin/temple" | head -n 1)"
out="$here/build/demo-portrait.jpg"
"$bin/lumavo-cli" templates --root "$bin/temple"
"$bin/lumavo-cli" render --root "$bin/temple" --template "$template" --photo "$photo" --out "$out"
echo "演示成品已保存：$out"
