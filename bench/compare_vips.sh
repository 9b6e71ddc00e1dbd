#!/usr/bin/env bash
# Times `lumavo-cli render` side by side with the same job done by libvips in
# one process (bench/vips_render.c): a 24-megapixel JPEG photo resized into
# the 1400 x 2100 4R template (opening x 100, y 150, 600 x 800), composed
# with the background and the foreground, saved as JPEG at quality 90.
# Prints both hyperfine means, the ratio and the peak memory of each.
#
# usage: bench/compare_vips.sh [build dir] (default: <source>/build)
# environment: WORK (scratch folder, default /tmp/lumavo-compare-vips),
#              RUNS (timed runs per command, default 30)
set -euo pipefail

SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$(cd "${1:-$SOURCE_DIR/build}" && pwd)
PROGRAM_DIR="$BUILD_DIR/bin"
CLI="$PROGRAM_DIR/lumavo-cli"
WORK=${WORK:-/tmp/lumavo-compare-vips}
RUNS=${RUNS:-30}
QUALITY=90
mkdir -p "$WORK"

say() { printf '%s\n' "$*" >&2; }

[ -x "$CLI" ] || { say "no $CLI: build the lumavo-cli target first"; exit 1; }

# --- tools -------------------------------------------------------------------
need_packages=()
command -v vips >/dev/null || need_packages+=(libvips-tools)
pkg-config --exists vips 2>/dev/null || need_packages+=(libvips-dev)
command -v hyperfine >/dev/null || need_packages+=(hyperfine)
[ -x /usr/bin/time ] || need_packages+=(time)
if [ ${#need_packages[@]} -gt 0 ]; then
    say "installing ${need_packages[*]}"
    SUDO=; [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${need_packages[@]}" >&2
fi

VIPS_RENDER="$WORK/vips_render"
if [ ! -x "$VIPS_RENDER" ] || [ "$SOURCE_DIR/bench/vips_render.c" -nt "$VIPS_RENDER" ]; then
    say "compiling vips_render"
    # shellcheck disable=SC2046
    cc -O2 -Wall -o "$VIPS_RENDER" "$SOURCE_DIR/bench/vips_render.c" $(pkg-config --cflags --libs vips)
fi

# --- the photo: 6000 x 4000, detail at every scale, as a camera gives ----------
PHOTO="$WORK/photo-24mp.jpg"
if [ ! -f "$PHOTO" ]; then
    say "drawing the 24-megapixel test photo (takes a while once)"
    T="$WORK/gen"; mkdir -p "$T"
    # Fractal fields: large shapes, colour variation and fine texture.
    vips fractsurf "$T/shape.v" 1500 1000 2.5
    vips fractsurf "$T/red.v" 1500 1000 2.5
    vips fractsurf "$T/blue.v" 1500 1000 2.3
    vips fractsurf "$T/texture.v" 1500 1000 2.8
    norm() { # field amplitude offset -> field scaled to the amplitude's deviation
        local sd; sd=$(vips deviate "$T/$1.v")
        vips linear "$T/$1.v" "$T/$1n.v" "$(awk -v a="$2" -v s="$sd" 'BEGIN { print a / s }')" "$3"
    }
    norm shape 42 118
    norm red 16 0
    norm blue 16 0
    norm texture 10 0
    vips add "$T/shapen.v" "$T/redn.v" "$T/r.v"
    vips subtract "$T/shapen.v" "$T/bluen.v" "$T/b.v"
    vips linear "$T/redn.v" "$T/g0.v" -- -0.4 0
    vips add "$T/shapen.v" "$T/g0.v" "$T/g.v"
    vips bandjoin "$T/r.v $T/g.v $T/b.v" "$T/rgb.v"
    vips resize "$T/rgb.v" "$T/large.v" 4
    vips replicate "$T/texturen.v" "$T/fine.v" 4 4
    vips gaussnoise "$T/grain.v" 6000 4000 --sigma 5 --mean 0
    vips add "$T/fine.v" "$T/grain.v" "$T/detail.v"
    vips add "$T/large.v" "$T/detail.v" "$T/sum.v"
    vips cast "$T/sum.v" "$T/photo.v" uchar
    vips copy "$T/photo.v" "$T/photo-srgb.v" --interpretation srgb
    vips jpegsave "$T/photo-srgb.v" "$PHOTO" --Q 95
    rm -rf "$T"
fi

# --- the template: the sample 4R template, or one drawn here ------------------
ROOT=
TEMPLATE=
if [ -d "$PROGRAM_DIR/temple" ]; then
    while read -r name width height left top right bottom; do
        if [ "$width $height $left $top $right $bottom" = "1400 2100 100 150 700 950" ]; then
            ROOT="$PROGRAM_DIR/temple"; TEMPLATE=$name; break
        fi
    done < <("$CLI" templates --root "$PROGRAM_DIR/temple" 2>/dev/null || true)
fi
if [ -z "$TEMPLATE" ]; then
    say "no sample 4R template found: drawing one"
    ROOT="$WORK/temple"; TEMPLATE=4R
    T="$ROOT/$TEMPLATE"; mkdir -p "$T"
    vips xyz "$T/xy.v" 1400 2100
    vips extract_band "$T/xy.v" "$T/y.v" 1
    vips linear "$T/y.v" "$T/shade.v" 0.05 150
    vips bandjoin "$T/shade.v $T/shade.v $T/shade.v" "$T/bg.v"
    vips cast "$T/bg.v" "$T/bgc.v" uchar
    vips copy "$T/bgc.v" "$T/bg.jpg" --interpretation srgb && mv "$T/bg.jpg" "$T/bs.lmv"
    # Foreground: an opaque frame, transparent over the opening.
    vips black "$T/hole.v" 600 800
    vips embed "$T/hole.v" "$T/holeb.v" 100 150 1400 2100 --extend white
    vips bandjoin "$T/bgc.v $T/holeb.v" "$T/fg.v"
    vips copy "$T/fg.v" "$T/fg.png" --interpretation srgb && mv "$T/fg.png" "$T/fs.lmv"
    printf '[layer]\r\nx=100\r\ny=150\r\nwidth=600\r\nheight=800\r\n' > "$T/layer.lmv"
    rm -f "$T"/*.v
fi
say "template: $ROOT/$TEMPLATE"

read -r X Y W H < <("$CLI" place --root "$ROOT" --template "$TEMPLATE" --photo "$PHOTO")
say "placement: $X $Y $W $H"

OUT_LUMAVO="$WORK/lumavo.jpg"
OUT_VIPS="$WORK/vips.jpg"
LUMAVO_CMD="'$CLI' render --root '$ROOT' --template '$TEMPLATE' --photo '$PHOTO' --out '$OUT_LUMAVO' --quality $QUALITY"
VIPS_CMD="'$VIPS_RENDER' '$ROOT/$TEMPLATE/bs.lmv' '$ROOT/$TEMPLATE/fs.lmv' '$PHOTO' $X $Y $W $H '$OUT_VIPS' $QUALITY"

# Both must do the same job: same size, and the same picture apart from the
# caption and the resampling filters.
eval "$LUMAVO_CMD"
eval "$VIPS_CMD"
say "outputs: $(vipsheader "$OUT_LUMAVO") / $(vipsheader "$OUT_VIPS")"
vips subtract "$OUT_LUMAVO" "$OUT_VIPS" "$WORK/diff.v"
vips abs "$WORK/diff.v" "$WORK/absdiff.v"
vips extract_area "$WORK/absdiff.v" "$WORK/photodiff.v" "$X" "$Y" "$W" "$H"
say "mean difference inside the photo: $(vips avg "$WORK/photodiff.v") (0-255 scale)"
rm -f "$WORK"/*.v

# --- timing ------------------------------------------------------------------
hyperfine --warmup 3 --runs "$RUNS" --export-json "$WORK/hyperfine.json" \
    -n lumavo-cli "$LUMAVO_CMD" -n libvips "$VIPS_CMD" >&2

peak_rss_mb() {
    /usr/bin/time -v sh -c "$1" 2>&1 >/dev/null | awk -F: '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }'
}
RSS_LUMAVO=$(peak_rss_mb "$LUMAVO_CMD")
RSS_VIPS=$(peak_rss_mb "$VIPS_CMD")

python3 - "$WORK/hyperfine.json" "$RSS_LUMAVO" "$RSS_VIPS" <<'EOF'
import json, sys
results = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
lumavo, vips = results["lumavo-cli"], results["libvips"]
print(f"lumavo-cli render : mean {lumavo['mean'] * 1000:7.1f} ms  (sd {lumavo['stddev'] * 1000:5.1f})  peak RSS {sys.argv[2]} MB")
print(f"libvips (1 proc.) : mean {vips['mean'] * 1000:7.1f} ms  (sd {vips['stddev'] * 1000:5.1f})  peak RSS {sys.argv[3]} MB")
print(f"ratio lumavo/vips : {lumavo['mean'] / vips['mean']:.3f}  (goal <= 0.8; peak RSS goal <= 200 MB)")
EOF
