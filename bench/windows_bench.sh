#!/usr/bin/env bash
# Windows of one grid against the whole run, on the 500 MB roundtrip sheet
# (bench/make_drawing) and on a GeoPackage of the same contours (ogr2ogr):
#   - the sheet at 1.6 m, a grid of 25,000 x 25,000 cells: the plan of 5 x 5
#     windows run through xargs -P 2, each window's time and peak memory,
#     the plan's VRT read through GDAL and compared cell by cell with the
#     whole run at the same settings;
#   - the reading of a window of the GeoPackage (1/25 of the grid) against
#     the reading of the whole, from the runs' stage times;
#   - with "huge": the sheet at 0.4 m, 100,000 x 100,000 = 10^10 cells, as
#     5 x 5 windows written as DEFLATE GeoTIFFs through xargs -P 2; its time,
#     the windows' peak memory, the disk it takes and a read of the mosaic
#     through GDAL; everything removed after (the disk is shared).
#   - with "fill" (alone): the terrain surface, -fill -ot Float32, of the
#     sheet at 1.6 m (windows of 5000 x 5000) and of the Jacksboro DEM's
#     contours every 10 and 50 m (bench/fill_bench.py, windows of 100 x
#     100): the plan (the windows' tables, from the whole grid's fill or
#     strip by strip), the windows through xargs -P 2, each one's peak
#     memory against its cells with its ring at 17 bytes and 256 MB more,
#     the whole run, and the mosaic against it cell for cell;
#   - with "hugefill" (alone): the terrain surface of the sheet at 0.4 m,
#     10^10 cells, as 20 x 20 windows of 5000 x 5000 (Float32 GeoTIFFs)
#     through xargs -P 2: the plan (strip by strip), the windows, their
#     peak memory against their bound, the disk, and a read of the mosaic
#     through GDAL; everything removed after.
# Appends its figures to bench/RESULTS.md. Needs GDAL's tools and python3-gdal.
#
#   bench/windows_bench.sh [huge|fill|hugefill]
set -euo pipefail
cd "$(dirname "$0")/.."
huge=${1:-}
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZORVEL_BENCH=ON -DZORVEL_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
program=$(realpath "$build/zorvel_raster")
data="$build/data/bench"
work="$build/windows"
mkdir -p "$data"
rm -rf "$work"
mkdir -p "$work"
dxf="$data/contours_roundtrip_500.dxf" gpkg="$data/contours_roundtrip_500.gpkg"
[ -f "$dxf" ] || "$build/bench/make_drawing" --digits roundtrip "$dxf" 500 1 >/dev/null
[ -f "$gpkg" ] || ogr2ogr -q -f GPKG "$gpkg" "$dxf"
python=/usr/bin/python3
sheet=(-te 500000 4100000 540000 4140000)

seconds() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", b - a}'; }

# Runs the plan's commands two at a time, each timed; prints "seconds
# slowest_window_seconds peak_kb" of the lot.
run_windows() {  # plan_file times_file
  local t0 t1
  t0=$(seconds)
  sed "s|^|/usr/bin/time -f '%e %M' -a -o $2 |" "$1" | xargs -P 2 -d '\n' -n 1 sh -c
  t1=$(seconds)
  echo "$(elapsed "$t0" "$t1") $(sort -g -k1 "$2" | tail -1 | cut -d' ' -f1) $(sort -g -k2 "$2" | tail -1 | cut -d' ' -f2)"
}

# The VRT's mosaic against the whole run's ENVI image, cell by cell.
same_cells() {  # vrt raw [numpy type of the cells]
  "$python" - "$1" "$2" "${3:-uint8}" <<'EOF'
import sys
import numpy as np
from osgeo import gdal
gdal.UseExceptions()
mosaic = gdal.Open(sys.argv[1])
whole = np.fromfile(sys.argv[2], dtype=np.dtype(sys.argv[3]).newbyteorder("<"))
band = mosaic.GetRasterBand(1)
rows, cols = mosaic.RasterYSize, mosaic.RasterXSize
assert whole.size == rows * cols, (whole.size, rows, cols)
step = 2500
for r in range(0, rows, step):
    part = band.ReadAsArray(0, r, cols, min(step, rows - r))
    if not np.array_equal(part.ravel(), whole[r * cols:(r + part.shape[0]) * cols]):
        print("differ")
        sys.exit(1)
print("same")
EOF
}

stage() {  # the seconds of one stage in a run's stage line
  sed -n "s/.*$1 \([0-9.]*\) s.*/\1/p" "$2"
}

# A plan of the fill run as windows through xargs -P 2, against the whole
# run: the plan's time and memory, the windows' time, each window's peak
# memory against its bound (its cells with the margin its table gives, 17
# bytes each, and 256 MB), the whole run's time and memory, and the mosaic
# against the whole run cell for cell. Prints one line of figures.
#   fill_windows LABEL WINDOW_SIZE SOURCE GRID_OPTIONS...
fill_windows() {
  local label=$1 size=$2 source=$3
  shift 3
  local options=(-q --overwrite -of ENVI "$@" -fill -ot Float32)
  local plan="$work/plan_$label.txt" times="$work/times_$label.txt"
  local plan_s plan_kb all_s t0 t1 whole whole_s whole_kb verdict bounds
  read -r plan_s plan_kb < <(/usr/bin/time -f '%e %M' "$program" "${options[@]}" -plan "$size" "$size" "$source" \
    "$work/$label" 2>&1 >"$plan" | tail -1)
  t0=$(seconds)
  sed "s|^|/usr/bin/time -f '%e %M %C' -a -o $times |" "$plan" | xargs -P 2 -d '\n' -n 1 sh -c 2>/dev/null
  t1=$(seconds)
  all_s=$(elapsed "$t0" "$t1")
  # each window's peak against its bound
  bounds=$("$python" - "$work/$label.fill" "$work/$label.vrt" "$times" <<'EOF'
import re, struct, sys
from osgeo import gdal
gdal.UseExceptions()
d = open(sys.argv[1], "rb").read()
v = gdal.Open(sys.argv[2])
rows, cols = v.RasterYSize, v.RasterXSize
bound = {}
for k in range(struct.unpack_from("<Q", d, 16)[0]):
    i0, j0, h, w, m = struct.unpack_from("<5i", d, 24 + 40 * k)
    cells = (min(rows, i0 + h + m) - max(0, i0 - m)) * (min(cols, j0 + w + m) - max(0, j0 - m))
    bound[(j0, i0)] = (cells * 17 + (256 << 20)) / 1024
peaks, within, ratios, slowest = [], 0, [], 0.0
for line in open(sys.argv[3]):
    t = line.split()
    x, y = re.search(r"-srcwin (\d+) (\d+)", line).groups()
    kb, b = float(t[1]), bound[(int(x), int(y))]
    peaks.append(kb)
    within += kb <= b
    ratios.append(kb / b)
    slowest = max(slowest, float(t[0]))
print(len(peaks), within, int(max(peaks) / 1024), "%.2f" % max(ratios), "%.2f" % slowest)
EOF
)
  read -r n within largest worst slowest <<<"$bounds"
  whole=$(head -1 "$plan" | sed -e 's/ -srcwin [0-9]* [0-9]* [0-9]* [0-9]*//' -e 's/ -fill_table [^ ]*//' \
    -e "s| [^ ]*_0_0\$| $work/whole_$label|")
  read -r whole_s whole_kb < <(/usr/bin/time -f '%e %M' sh -c "$whole" 2>&1 >/dev/null | tail -1)
  verdict=$(same_cells "$work/$label.vrt" "$work/whole_${label}_zorvl.raw" float32)
  [ "$verdict" = same ] || { echo "the mosaic of the $label fill's windows differs from the whole run" >&2; exit 1; }
  rm -f "$work"/*_zorvl.raw
  echo "plan ${plan_s} s, $((plan_kb / 1024)) MB (the tables, $(($(stat -c %s "$work/$label.fill") / 1000)) kB); $n windows of $size x $size through xargs -P 2 ${all_s} s (the slowest ${slowest} s); $within of $n windows within their bound (cells with their ring at 17 bytes and 256 MB), the largest peak ${largest} MB, the highest peak over bound ${worst}; whole run ${whole_s} s, $((whole_kb / 1024)) MB; the mosaic equals the whole run cell for cell"
}

lines=()
routes=(dxf gpkg)
if [ "$huge" = fill ]; then
  routes=()
  figures=$(fill_windows sheet 5000 "$dxf" -tr 1.6 "${sheet[@]}" -reg 4 -interval 10 -min 200 -max 900)
  lines+=("- the fill, -ot Float32, DXF at 1.6 m, 25,000 x 25,000 cells: $figures")
  # the Jacksboro DEM's contours every 10 and 50 m on its own grid (warped
  # to 30 m cells as bench/fill_bench.sh does), windows of 100 x 100
  jdem="$data/jacksboro.tif"
  if [ ! -f "$jdem" ]; then
    "$python" bench/fill_bench.py jacksboro "$data/jacksboro_geo.tif"
    gdalwarp -q -overwrite -t_srs EPSG:32616 -tr 30 30 -tap -r bilinear -dstnodata -9999 "$data/jacksboro_geo.tif" "$jdem"
  fi
  read -r x0 y0 x1 y1 cell < <("$python" bench/fill_bench.py grid "$jdem")
  for interval in 10 50; do
    contours="$data/jacksboro_c$interval.gpkg"
    [ -f "$contours" ] || gdal_contour -q -i "$interval" -a elev "$jdem" "$contours"
    figures=$(fill_windows "j$interval" 100 "$contours" -a elev -te "$x0" "$y0" "$x1" "$y1" -tr "$cell")
    lines+=("- the fill, -ot Float32, of the Jacksboro contours every $interval m (the DEM's grid): $figures")
  done
fi
for route in "${routes[@]}"; do
  if [ "$route" = dxf ]; then source=$dxf extra=(-reg 4); else source=$gpkg extra=(); fi
  options=(-q --overwrite -of ENVI -tr 1.6 "${sheet[@]}" "${extra[@]}")
  plan="$work/plan_$route.txt"
  t0=$(seconds)
  "$program" "${options[@]}" -plan 5000 5000 "$source" "$work/${route}" >"$plan"
  t1=$(seconds)
  plan_s=$(elapsed "$t0" "$t1")
  read -r all_s slowest peak < <(run_windows "$plan" "$work/times_$route.txt")
  # the whole run at the settings of the plan's commands, less the window
  whole=$(head -1 "$plan" | sed -e 's/ -srcwin [0-9]* [0-9]* [0-9]* [0-9]*//' -e "s| [^ ]*_0_0\$| $work/whole_$route|")
  read -r whole_s whole_kb < <(/usr/bin/time -f '%e %M' sh -c "$whole" 2>&1 >/dev/null | tail -1)
  verdict=$(same_cells "$work/${route}.vrt" "$work/whole_${route}_zorvl.raw")
  [ "$verdict" = same ] || { echo "the mosaic of the $route windows differs from the whole run" >&2; exit 1; }
  # the reading of a window in the middle against the whole, from the stage times
  middle=$(sed -n 13p "$plan")
  ZORVEL_RASTER_STAGES=1 sh -c "$middle" 2>"$work/stages_window.txt"
  ZORVEL_RASTER_STAGES=1 sh -c "$whole" 2>"$work/stages_whole.txt"
  lines+=("- $route: plan ${plan_s} s; 25 windows of 5000 x 5000 through xargs -P 2 ${all_s} s (the slowest ${slowest} s, peak $((peak / 1024)) MB, for 25 MB of cells); whole run ${whole_s} s, $((whole_kb / 1024)) MB; the mosaic equals the whole run cell for cell; reading (pass one) of the middle window $(stage pasada-1 "$work/stages_window.txt") s against $(stage pasada-1 "$work/stages_whole.txt") s for the whole, its pass two $(stage pasada-2 "$work/stages_window.txt") s against $(stage pasada-2 "$work/stages_whole.txt") s")
  rm -f "$work"/*_zorvl.raw
done

if [ "$huge" = huge ]; then
  options=(-q -tr 0.4 "${sheet[@]}" -reg 4 -co COMPRESS=DEFLATE -co TILED=YES)
  plan="$work/plan_huge.txt"
  "$program" "${options[@]}" -plan 20000 20000 "$dxf" "$work/huge.tif" >"$plan"
  read -r all_s slowest peak < <(run_windows "$plan" "$work/times_huge.txt")
  disk=$(du -cb "$work"/huge*.tif | tail -1 | cut -f1)
  size=$(gdalinfo "$work/huge.vrt" | sed -n 's/^Size is //p')
  # a read of the whole mosaic, at a hundredth of its size each way
  t0=$(seconds)
  gdal_translate -q -r nearest -outsize 1000 1000 "$work/huge.vrt" "$work/huge_small.tif"
  t1=$(seconds)
  lines+=("- the sheet at 0.4 m (grid $size, 10^10 cells), DXF, as 25 windows of 20000 x 20000 written as DEFLATE GeoTIFF through xargs -P 2: ${all_s} s in all (the slowest window ${slowest} s), peak $((peak / 1024)) MB a window (400 MB of cells); $((disk / 1000000)) MB on disk; gdal_translate read the mosaic at 1000 x 1000 in $(elapsed "$t0" "$t1") s")
fi
if [ "$huge" = hugefill ]; then
  options=(-q -tr 0.4 "${sheet[@]}" -reg 4 -interval 10 -min 200 -max 900 -ot Float32 -fill)
  plan="$work/plan_hugefill.txt"
  read -r plan_s plan_kb < <(/usr/bin/time -f '%e %M' "$program" "${options[@]}" -plan 5000 5000 "$dxf" \
    "$work/hugefill.tif" 2>&1 >"$plan" | tail -1)
  read -r all_s slowest peak < <(run_windows "$plan" "$work/times_hugefill.txt")
  disk=$(du -cb "$work"/hugefill*.tif | tail -1 | cut -f1)
  size=$(gdalinfo "$work/hugefill.vrt" | sed -n 's/^Size is //p')
  t0=$(seconds)
  gdal_translate -q -r nearest -outsize 1000 1000 "$work/hugefill.vrt" "$work/hugefill_small.tif"
  t1=$(seconds)
  # a window of 5000 x 5000 with its ring: 25 million cells at 17 bytes, and 256 MB
  bound=$(((5002 * 5002 * 17 + (256 << 20)) / 1024))
  lines+=("- the fill of the sheet at 0.4 m (grid $size, 10^10 cells), DXF, -ot Float32, as 400 windows of 5000 x 5000 through xargs -P 2: plan ${plan_s} s, $((plan_kb / 1024)) MB (strip by strip); windows ${all_s} s in all (the slowest ${slowest} s), peak $((peak / 1024)) MB a window against a bound of $((bound / 1024)) MB; $((disk / 1000000)) MB on disk; gdal_translate read the mosaic at 1000 x 1000 in $(elapsed "$t0" "$t1") s")
fi
rm -rf "$work"

report=$(cat <<EOT
### $(date -u +%Y-%m-%d) — $(git rev-parse --short HEAD), windows of the roundtrip 500 MB sheet (bench/windows_bench.sh ${huge})

- machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(nproc) cores; $(g++ --version | head -1); Release (-O3); $(gdalinfo --version)
$(printf '%s\n' "${lines[@]}")
EOT
)
echo "$report"
printf '\n%s\n' "$report" >>bench/RESULTS.md
