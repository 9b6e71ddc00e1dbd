#!/usr/bin/env bash
# Peak memory and time of `lumavo-cli render` on hostile and on very large
# inputs. The goal: no single rendering takes more than about 1.5 GB,
# whatever a file claims, while real 100-megapixel photos still render.
# Prints one line per case: exit status, peak resident memory, wall time and
# the command's message.
#
# usage: bench/measure_memory.sh [build dir] (default: <source>/build)
# environment: WORK (scratch folder, default /tmp/lumavo-measure-memory)
set -euo pipefail

SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$(cd "${1:-$SOURCE_DIR/build}" && pwd)
CLI="$BUILD_DIR/bin/lumavo-cli"
WORK=${WORK:-/tmp/lumavo-measure-memory}
mkdir -p "$WORK"

say() { printf '%s\n' "$*" >&2; }

[ -x "$CLI" ] || { say "no $CLI: build the lumavo-cli target first"; exit 1; }
[ -x /usr/bin/time ] || { say "installing time"; apt-get install -y -q time >&2; }

MAKE="$WORK/hostile_files"
if [ ! -x "$MAKE" ] || [ "$SOURCE_DIR/bench/hostile_files.c" -nt "$MAKE" ]; then
    cc -O2 -Wall -o "$MAKE" "$SOURCE_DIR/bench/hostile_files.c" -ljpeg -lz
fi

# template NAME WIDTH HEIGHT X Y W H [BACKGROUND FILE]
template() {
    local dir="$WORK/temple/$1"
    mkdir -p "$dir"
    if [ -n "${8:-}" ]; then cp "$8" "$dir/bs.lmv"; else "$MAKE" gradient-png "$dir/bs.lmv" "$2" "$3"; fi
    "$MAKE" png "$dir/fs.lmv" "$2" "$3" 8 6 # wholly transparent
    printf '[layer]\r\nx=%s\r\ny=%s\r\nwidth=%s\r\nheight=%s\r\n' "$4" "$5" "$6" "$7" > "$dir/layer.lmv"
}

made() { [ -f "$1" ] || { say "writing $(basename "$1")"; "$MAKE" "${@:2}"; }; }

made "$WORK/grey-30000.png" png "$WORK/grey-30000.png" 30000 30000 8 0
made "$WORK/rgba16-25000.png" png "$WORK/rgba16-25000.png" 25000 25000 16 6
made "$WORK/claims-30000.jpg" claim-jpeg "$WORK/claims-30000.jpg" 30000 30000
made "$WORK/photo-100mp.jpg" gradient-jpeg "$WORK/photo-100mp.jpg" 12000 8400
made "$WORK/photo-100mp.png" gradient-png "$WORK/photo-100mp.png" 12000 8400
[ -d "$WORK/temple/4R" ] || template 4R 1400 2100 100 150 600 800
[ -d "$WORK/temple/bomb" ] || template bomb 1400 2100 100 150 600 800 "$WORK/grey-30000.png"
[ -d "$WORK/temple/large" ] || template large 8000 8000 0 0 8000 8000

# measure LABEL TEMPLATE PHOTO
measure() {
    local out="$WORK/out.jpg" log="$WORK/time.log" err="$WORK/err.log" status=0
    rm -f "$out"
    /usr/bin/time -v -o "$log" "$CLI" render --root "$WORK/temple" --template "$2" --photo "$3" --out "$out" \
        2> "$err" || status=$?
    local rss wall
    rss=$(awk -F: '/Maximum resident/ { printf "%.0f", $2 / 1024 }' "$log")
    wall=$(awk '/Elapsed \(wall clock\)/ { print $NF }' "$log")
    printf '%-44s exit %s  %6s MB  %8s  %s\n' "$1" "$status" "$rss" "$wall" "$(head -n 1 "$err")"
}

measure "photo: grey PNG claiming 30000 x 30000" 4R "$WORK/grey-30000.png"
measure "photo: 16-bit RGBA PNG 25000 x 25000" 4R "$WORK/rgba16-25000.png"
measure "photo: 1.6 KB JPEG claiming 30000 x 30000" 4R "$WORK/claims-30000.jpg"
measure "background: grey PNG claiming 30000 x 30000" bomb "$WORK/photo-100mp.jpg"
measure "photo: 100 MP JPEG into 4R" 4R "$WORK/photo-100mp.jpg"
measure "photo: 100 MP PNG into 4R" 4R "$WORK/photo-100mp.png"
measure "100 MP JPEG over a 64 MP template" large "$WORK/photo-100mp.jpg"
