#!/usr/bin/env bash
# The whole-run benchmark. For each style of coordinates (see make_drawing:
# roundtrip, 16 and 3 digits), on one generated drawing, alternating runs of
#   (a) the program with scripted answers,
#   (b) the drawing read literally twice with the C library's formatted input,
#   (c) the drawing read twice as plain bytes (the limit),
#   (d) gdal_rasterize burning the same contours' elevations into a grid of
#       the same extents and pixel size, when it is installed,
#   (e) the command line on the same drawing and grid, which draws it as it
#       reads it.
# Prints the medians, the ratios and the program's peak memory, and appends
# them to bench/RESULTS.md. The style "gpkg" is the roundtrip drawing's
# contours in a GeoPackage (made by ogr2ogr): (a) is then the command line
# reading it through OGR, against (d) gdal_rasterize on the same GeoPackage.
# The style "tif" pairs the command line writing a GeoTIFF itself with the
# command line writing ENVI's files followed by gdal_translate to GeoTIFF.
# The style "real" is a drawing of real contour lines instead of the
# generator's: gdal_contour's lines of a seeded terrain, every 5 m, written
# as R12 by ezdxf (bench/make_real_contours.py, about 500 MB, some minutes
# to make), and "realgpkg" the same contours in a GeoPackage.
#
#   bench/run_bench.sh [megabytes=500] [rounds=7] [styles="roundtrip 16 3 gpkg tif"]
set -euo pipefail
cd "$(dirname "$0")/.."
mb=${1:-500}
rounds=${2:-7}
styles=${3:-roundtrip 16 3 gpkg tif}
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZORVEL_BENCH=ON -DZORVEL_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null

root="$build/data/"
mkdir -p "$root/bench"
have_gdal=0
command -v gdal_rasterize >/dev/null && have_gdal=1

# Every timed run writes its outputs afresh, as gdal_rasterize's are: the
# earlier ones are removed before it, outside the timing (replacing a 61 MB
# output costs another 30 ms, the kernel freeing the old file's pages).
fresh() { rm -f "$@"; }
# Every timed run starts with nothing left to write back: without it the
# run after gdal_rasterize paid for the 256 or 512 MB GeoTIFF it had just
# written and was removed (the kernel writing and dropping its pages on both
# cores meanwhile): the dialogue 0.62-0.64 s right after it against 0.44 s
# after a sync, paired. Each tool's own writes are left behind it, as before.
settle() { sync; }
timed() {  # prints "seconds peak_kb" of a command
  settle
  /usr/bin/time -f "%e %M" -o "$build/time.txt" "$@" >/dev/null 2>"$build/err.txt" || { cat "$build/err.txt" >&2; exit 1; }
  cat "$build/time.txt"
}
median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
minimum() { printf '%s\n' "$@" | sort -g | head -1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.1f", a / b}'; }

real_drawing() {  # the real contours and their GeoPackage, made once
  local drawing="$root/bench/real_contours.dxf"
  [ -f "$drawing" ] || /usr/bin/python3 bench/make_real_contours.py "$drawing" 7000 5 1 >/dev/null
  echo "$drawing"
}

gpkg_round() {  # the GeoPackage route: the command line and gdal_rasterize, paired
  local source="$root/bench/contours_roundtrip_${mb}.dxf" gpkg="$root/bench/contours_roundtrip_${mb}.gpkg" interval=10
  if [ "${1:-}" = real ]; then
    source=$(real_drawing); gpkg="${source%.dxf}.gpkg"; interval=5
  fi
  [ -f "$source" ] || "$build/bench/make_drawing" --digits roundtrip "$source" "$mb" 1 >/dev/null
  [ -f "$gpkg" ] || ogr2ogr -q -f GPKG "$gpkg" "$source"
  local ta=() td=() peak=0 s m
  local options=(-q --overwrite -tr 5 -te 500000 4100000 540000 4140000 -interval $interval -min 200 -max 900)
  for ((k = 0; k < rounds; ++k)); do
    fresh "$build"/gpkg_out_zorvl.*
    read -r s m < <(timed "$build/zorvel_raster" "${options[@]}" "$gpkg" "$build/gpkg_out"); ta+=("$s")
    ((m > peak)) && peak=$m
    read -r s _ < <(timed gdal_rasterize -q -3d -te 500000 4100000 540000 4140000 -tr 5 5 -ot Float32 \
      -init -999 -of GTiff "$gpkg" "$build/gdal_out.tif"); td+=("$s")
    rm -f "$build/gdal_out.tif"
  done
  fresh "$build"/gpkg_out_zorvl.*
  settle
  stages=$(ZORVEL_RASTER_STAGES=1 "$build/zorvel_raster" "${options[@]}" "$gpkg" "$build/gpkg_out" 2>&1 >/dev/null |
    sed -n 's/^zorvel_raster: etapas: //p')
  # the same contours from the DXF on the program's own reader give the same image
  "$build/zorvel_raster" "${options[@]}" -reg 4 "$source" "$build/dxf_out"
  cmp -s "$build/gpkg_out_zorvl.raw" "$build/dxf_out_zorvl.raw" ||
    { echo "the GeoPackage and the DXF route disagree" >&2; exit 1; }
  local ma md
  ma=$(median "${ta[@]}"); md=$(median "${td[@]}")
  report=$(cat <<EOT
### $(date -u +%Y-%m-%d) — $(git rev-parse --short HEAD), the contours of $(basename "$source") from a GeoPackage of $(($(stat -c %s "$gpkg") / 1000000)) MB, grid 8000 x 8000

- machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(nproc) cores; $(g++ --version | head -1); Release (-O3); $(gdalinfo --version)
- medians of $rounds alternating runs: (a) command line through OGR ${ma} s, (d) gdal_rasterize writing Float32 ${md} s; minima (a) $(minimum "${ta[@]}") s, (d) $(minimum "${td[@]}") s
- (d)/(a) $(ratio "$md" "$ma")x; stages of one more run of (a): $stages; peak resident memory of (a): $((peak / 1024)) MB; the image is the same as from the DXF on the program's own reader
EOT
)
  echo "$report"
  printf '\n%s\n' "$report" >>bench/RESULTS.md
}

tif_round() {  # a GeoTIFF written by the program, against ENVI's files and gdal_translate
  local source="$root/bench/contours_roundtrip_${mb}.dxf"
  [ -f "$source" ] || "$build/bench/make_drawing" --digits roundtrip "$source" "$mb" 1 >/dev/null
  local options=(-q --overwrite -tr 5 -te 500000 4100000 540000 4140000 -reg 4 -interval 10 -min 200 -max 900)
  local tt=() te=() s start
  for ((k = 0; k < rounds; ++k)); do
    fresh "$build/direct.tif"
    read -r s _ < <(timed "$build/zorvel_raster" "${options[@]}" "$source" "$build/direct.tif"); tt+=("$s")
    settle
    start=$(date +%s.%N)
    "$build/zorvel_raster" "${options[@]}" "$source" "$build/envi_out" &&
      gdal_translate -q -of GTiff "$build/envi_out_zorvl.raw" "$build/translated.tif"
    te+=("$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN {printf "%.2f", b - a}')")
  done
  # the two GeoTIFFs hold the same cells
  gdal_translate -q -of ENVI "$build/direct.tif" "$build/direct.raw"
  cmp -s "$build/direct.raw" "$build/envi_out_zorvl.raw" || { echo "the two GeoTIFFs disagree" >&2; exit 1; }
  local mt me
  mt=$(median "${tt[@]}"); me=$(median "${te[@]}")
  report=$(cat <<EOT
### $(date -u +%Y-%m-%d) — $(git rev-parse --short HEAD), a GeoTIFF of the roundtrip contours of $mb MB, grid 8000 x 8000

- machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(nproc) cores; $(g++ --version | head -1); Release (-O3); $(gdalinfo --version)
- medians of $rounds alternating runs: the program writing the GeoTIFF ${mt} s, the program writing ENVI then gdal_translate ${me} s; minima $(minimum "${tt[@]}") s and $(minimum "${te[@]}") s
EOT
)
  echo "$report"
  printf '\n%s\n' "$report" >>bench/RESULTS.md
}

for style in $styles; do
  if [ "$style" = tif ]; then
    ((have_gdal)) && command -v gdal_translate >/dev/null && tif_round
    continue
  fi
  if [ "$style" = gpkg ] || [ "$style" = realgpkg ]; then
    ((have_gdal)) && command -v ogr2ogr >/dev/null && gpkg_round "${style%gpkg}"
    continue
  fi
  name="contours_${style}_${mb}" interval=10
  drawing="$root/bench/$name.dxf"
  if [ "$style" = real ]; then
    drawing=$(real_drawing); name=real_contours interval=5
  fi
  [ -f "$drawing" ] || "$build/bench/make_drawing" --digits "$style" "$drawing" "$mb" 1 >/dev/null
  # 40 km square at 5 m: an 8000 x 8000 grid; skip count 4 (handle and layer)
  answers="$build/answers_$name.txt"
  printf 'bench\n%s\nout\n5\n4\n0\n0\n1\n%s\n200\n900\n' "$name" "$interval" >"$answers"

  cli=(-q --overwrite -tr 5 -te 500000 4100000 540000 4140000 -reg 4 -interval "$interval" -min 200 -max 900)
  ta=(); tb=(); tc=(); td=(); te=()
  peak=0 peak_e=0
  for ((k = 0; k < rounds; ++k)); do
    fresh "$root"/bench/out_zorvl*
    read -r s m < <(ZORVEL_RASTER_ROOT="$root" timed "$build/zorvel_raster" <"$answers")
    ta+=("$s"); ((m > peak)) && peak=$m
    fresh "$build"/cli_out_zorvl.*
    read -r s m < <(timed "$build/zorvel_raster" "${cli[@]}" "$drawing" "$build/cli_out")
    te+=("$s"); ((m > peak_e)) && peak_e=$m
    read -r s _ < <(timed "$build/bench/baseline_fscanf" "$drawing" 4); tb+=("$s")
    read -r s _ < <(timed "$build/bench/plain_read" "$drawing"); tc+=("$s")
    if ((have_gdal)); then
      read -r s _ < <(timed gdal_rasterize -q -3d -te 500000 4100000 540000 4140000 -tr 5 5 -ot Float64 \
        -init -999 -of GTiff "$drawing" "$build/gdal_out.tif"); td+=("$s")
      rm -f "$build/gdal_out.tif"
    fi
  done

  # the program and the baseline must have read the same drawing the same way
  base=$("$build/bench/baseline_fscanf" "$drawing" 4)
  ZORVEL_RASTER_ROOT="$root" "$build/zorvel_raster" <"$answers" | tr '\r' '\n' >"$build/stdout.txt"
  grep -q "Numero total de segmentos = $(echo "$base" | awk '{print $2}') " "$build/stdout.txt" ||
    { echo "the program and the baseline disagree on the polylines" >&2; exit 1; }

  # the stages of one more run: where the time goes
  fresh "$root"/bench/out_zorvl* "$build"/cli_out_zorvl.*
  settle
  stages=$(ZORVEL_RASTER_STAGES=1 ZORVEL_RASTER_ROOT="$root" "$build/zorvel_raster" <"$answers" 2>&1 >/dev/null |
    sed -n 's/^zorvel_raster: etapas: //p')
  settle
  cli_stages=$(ZORVEL_RASTER_STAGES=1 "$build/zorvel_raster" "${cli[@]}" "$drawing" "$build/cli_out" 2>&1 >/dev/null |
    sed -n 's/^zorvel_raster: etapas: //p')
  ma=$(median "${ta[@]}"); mbs=$(median "${tb[@]}"); mc=$(median "${tc[@]}"); me=$(median "${te[@]}")
  # the stages as read, parse, draw, classify and write: reading the bytes
  # once is half of (c); pass one reads and parses them, pass two draws
  table=$(echo "$stages" | awk -v c="$mc" '{
    for (k = 1; k <= NF; ++k) if ($k == "s,") $k = "s"; line = $0
    n = split(line, w, " ");
    for (k = 1; k < n; ++k) v[w[k]] = w[k + 1]
    printf "read %.3f s, parse %.3f s, draw %.3f s, classify %.3f s, write %.3f s",
      c / 2, v["pasada-1"] - c / 2, v["pasada-2"], v["clases"], v["escritura"] }')
  md=""; ((have_gdal)) && md=$(median "${td[@]}")
  size=$(stat -c %s "$drawing")
  vertices=$(echo "$base" | awk '{print $4}')
  # dtab holds one-byte codes of the elevations (at most 256 of them here) and
  # becomes tab in place; the cropped image is a window on tab
  grid_mb=$(awk 'BEGIN {printf "%.0f", (8002 * 8002) / 1048576}')
  allowed_mb=$(awk -v g="$grid_mb" -v s="$size" 'BEGIN {printf "%.0f", g + 64 + s / 3 / 1048576}')

  report=$(cat <<EOT
### $(date -u +%Y-%m-%d) — $(git rev-parse --short HEAD), coordinates: $style, drawing of $((size / 1000000)) MB ($vertices vertices), grid 8000 x 8000

- machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(nproc) cores; $(g++ --version | head -1); Release (-O3)
- medians of $rounds alternating runs: (a) program ${ma} s, (b) literal formatted reading ${mbs} s, (c) plain reading twice ${mc} s$( ((have_gdal)) && echo ", (d) gdal_rasterize ${md} s")
- minima: (a) $(minimum "${ta[@]}") s, (b) $(minimum "${tb[@]}") s, (c) $(minimum "${tc[@]}") s$( ((have_gdal)) && echo ", (d) $(minimum "${td[@]}") s")
- (a)/(c) $(ratio "$ma" "$mc")x, (b)/(a) $(ratio "$mbs" "$ma")x$( ((have_gdal)) && echo ", (d)/(a) $(ratio "$md" "$ma")x")
- stages of one more run of (a): $stages (pass one reads and parses the drawing, pass two replays and draws it); as read (a plain read of the bytes once, half of (c)), parse (the rest of pass one), draw, classify, write: $table
- (e) the command line on the same drawing and grid: median ${me} s, minimum $(minimum "${te[@]}") s, (e)/(c) $(ratio "$me" "$mc")x$( ((have_gdal)) && echo ", (d)/(e) $(ratio "$md" "$me")x"), peak resident memory $((peak_e / 1024)) MB; stages of one more run: $cli_stages
- peak resident memory of (a): $((peak / 1024)) MB (the grids take ${grid_mb} MB; grids + 64 MB + a third of the drawing: ${allowed_mb} MB); the vertex log and the reader's buffers the rest
EOT
)
  echo "$report"
  printf '\n%s\n' "$report" >>bench/RESULTS.md
done
