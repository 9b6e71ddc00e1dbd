#!/usr/bin/env bash
# Builds Lumavo and starts it on the bundled sample templates.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" "$here/build" -DCMAKE_BUILD_TYPE=Release -- lumavo lumavo-cli lumavo-tonetool lumavo-samples

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "没有可用的显示器：请在图形桌面中运行，或用 xvfb-run ./run.sh" >&2
  exit 1
fi
exec "$here/build/bin/lumavo" "$@"
