#!/usr/bin/env bash
# Builds Lumavo and starts it on the bundled sample templates.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" "$here/build" -DCMAKE_BUILD_TYPE=Release -- lumavo-cli lumavo-samples

bin="$here/build/bin"
# The windows are not there yet: render a demo portrait with the batch
# command from a sample photo and the 4R sample template.
photo="$bin/samples/photos/portrait-woman.jpg"
template="4R-classic-cream"
out="$here/build/demo-portrait.jpg"
"$bin/lumavo-cli" templates --root "$bin/temple"
"$bin/lumavo-cli" render --root "$bin/temple" --template "$template" --photo "$photo" --out "$out"
echo "演示成品已保存：$out"
