#!/usr/bin/env bash
# The surface fill's benchmark: time and error against the DEM the contours
# were drawn from, paired with GRASS r.surf.contour on the same contours and
# grid when grass-core is installed; then the fill on the 8000 x 8000 grid of
# the whole-run benchmark's sheet.
#
# For each DEM and contour interval: gdal_contour draws the contours into a
# GeoPackage; the program rasterizes and fills them on the DEM's own grid
# (-te and -tr of the DEM), writing Float32; GRASS imports the same contours
# (v.in.ogr), burns their elevations (v.to.rast use=attr) into the same grid
# and fills it (r.surf.contour). Reported: the program's whole job (median of
# `rounds`), its fill alone on the same contour cells (bench/fill_timing,
# median of `rounds`), r.surf.contour alone (one run, or `grass_rounds`), and
# for both surfaces the RMS, 99th percentile and maximum of |surface - DEM|
# over the DEM's cells.
#
# DEMs: a seeded synthetic one of smooth hills and pits (1600 x 1600 cells of
# 5 m, contours every 5 m), matplotlib's sample DEM of the Jacksboro fault
# (Debian's python-matplotlib-data; 3 arc seconds warped to 30 m cells,
# contours every 10 and 50 m), and any GeoTIFF DEM given as DEM:INTERVAL.
#
#   bench/fill_bench.sh [rounds=7] [grass_rounds=1] [DEM.tif:INTERVAL ...]
#
# Needs gdal-bin and python3-gdal; grass-core for the pairing; the 8000 x 8000
# part makes the 500 MB sheet with bench/make_drawing (as run_bench.sh does).
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-7}
grass_rounds=${2:-1}
shift $(($# > 2 ? 2 : $#))
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZORVEL_BENCH=ON -DZORVEL_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
work="$build/fill"
mkdir -p "$work"
py=/usr/bin/python3
helper=bench/fill_bench.py
have_grass=0
command -v grass >/dev/null && have_grass=1

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.1f", a / b}'; }
seconds() {  # the wall time of a command, its output dropped
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN {printf "%.3f", b - a}'
}

# the GRASS job: import, burn, fill (timed alone), export
cat >"$work/grass_job.sh" <<'EOF'
#!/usr/bin/env bash
set -e
r.in.gdal --quiet input="$1" output=dem
g.region raster=dem
v.in.ogr --quiet input="$2" output=contours
v.to.rast --quiet input=contours output=crast use=attr attribute_column=elev
for ((k = 0; k < $4; ++k)); do
  start=$(date +%s.%N)
  r.surf.contour --quiet --overwrite input=crast output=surf
  end=$(date +%s.%N)
  echo "rsurf_seconds $(awk -v a="$start" -v b="$end" 'BEGIN {printf "%.3f", b - a}')"
done
r.out.gdal --quiet -f input=surf output="$3" format=GTiff type=Float32 2>/dev/null
EOF
chmod +x "$work/grass_job.sh"

rows=()
one_dem() {  # name dem.tif interval epsg
  local name=$1 dem=$2 interval=$3 epsg=$4
  local contours="$work/${name}_c${interval}.gpkg" grid
  rm -f "$contours"
  gdal_contour -q -i "$interval" -a elev "$dem" "$contours"
  read -r xmin ymin xmax ymax cell < <("$py" "$helper" grid "$dem")
  local te=(-te "$xmin" "$ymin" "$xmax" "$ymax" -tr "$cell")
  local tj=() s
  for ((k = 0; k < rounds; ++k)); do
    s=$(seconds "$build/zorvel_raster" -q --overwrite -fill -ot Float32 -a elev "${te[@]}" "$contours" "$work/ours.tif")
    tj+=("$s")
  done
  local ours_err
  ours_err=$("$py" "$helper" error "$dem" "$work/ours.tif")
  # the contour cells alone, for the fill by itself
  "$build/zorvel_raster" -q --overwrite -of ENVI -ot Float64 -a elev "${te[@]}" "$contours" "$work/cells" 2>/dev/null
  local cols lines fill
  cols=$(awk '/^samples/ {print $3}' "$work/cells_zorvl.hdr")
  lines=$(awk '/^lines/ {print $3}' "$work/cells_zorvl.hdr")
  fill=$("$build/bench/fill_timing" "$work/cells_zorvl.raw" "$cols" "$lines" "$rounds" | awk '{print $2}')
  local grass_s="-" grass_err="- - -" vs="-"
  if ((have_grass)); then
    local srs
    srs=$(gdalsrsinfo -o epsg "$dem" 2>/dev/null | grep -o 'EPSG:[0-9]*' | head -1)
    rm -f "$work/grass.tif"
    # GRASS's own exit status is not the job's: the export is checked instead
    grass_s=$( (grass --tmp-location "${srs:-EPSG:$epsg}" --exec "$work/grass_job.sh" "$PWD/$dem" "$PWD/$contours" \
      "$PWD/$work/grass.tif" "$grass_rounds" 2>/dev/null || true) | awk '/rsurf_seconds/ {print $2}' | sort -g | head -1)
    [ -f "$work/grass.tif" ] || { echo "the GRASS job on $dem wrote no surface" >&2; exit 1; }
    grass_err=$("$py" "$helper" error "$dem" "$work/grass.tif")
    vs=$(ratio "$grass_s" "$fill")
  fi
  rows+=("| $name, contours every $interval | ${cols} x ${lines} | $(median "${tj[@]}") | $fill | $grass_s | ${vs}x | $(echo "$ours_err" | awk '{print $1 " / " $2 " / " $3}') | $(echo "$grass_err" | awk '{print $1 " / " $2 " / " $3}') |")
  echo "${rows[-1]}"
}

"$py" "$helper" synthetic "$work/synthetic.tif" 1
one_dem synthetic "$work/synthetic.tif" 5 32630
if [ -f /usr/share/matplotlib/mpl-data/sample_data/jacksboro_fault_dem.npz ]; then
  "$py" "$helper" jacksboro "$work/jacksboro_geo.tif"
  gdalwarp -q -overwrite -t_srs EPSG:32616 -tr 30 30 -tap -r bilinear -dstnodata -9999 \
    "$work/jacksboro_geo.tif" "$work/jacksboro.tif"
  one_dem jacksboro "$work/jacksboro.tif" 10 32616
  one_dem jacksboro "$work/jacksboro.tif" 50 32616
fi
for given in "$@"; do
  one_dem "$(basename "${given%%:*}" .tif)" "${given%%:*}" "${given##*:}" 4326
done

# the 8000 x 8000 grid of the whole-run benchmark's sheet: the job with the
# fill against the job without it, writing classes and writing elevations
sheet="$build/data/bench/contours_roundtrip_500.dxf"
mkdir -p "$(dirname "$sheet")"
[ -f "$sheet" ] || "$build/bench/make_drawing" --digits roundtrip "$sheet" 500 1 >/dev/null
options=(-q --overwrite -of ENVI -tr 5 -te 500000 4100000 540000 4140000 -reg 4 -interval 10 -min 200 -max 900)
sheet_rows=()
for ot in Byte Float32; do
  a=() b=() peak_a=0 peak_b=0
  for ((k = 0; k < rounds; ++k)); do
    read -r s m < <(/usr/bin/time -f "%e %M" "$build/zorvel_raster" "${options[@]}" -ot "$ot" -fill "$sheet" "$work/sheet" 2>&1 >/dev/null | tail -1)
    a+=("$s"); ((m > peak_a)) && peak_a=$m
    read -r s m < <(/usr/bin/time -f "%e %M" "$build/zorvel_raster" "${options[@]}" -ot "$ot" "$sheet" "$work/sheet" 2>&1 >/dev/null | tail -1)
    b+=("$s"); ((m > peak_b)) && peak_b=$m
  done
  sheet_rows+=("- -ot $ot: with -fill $(median "${a[@]}") s ($((peak_a / 1024)) MB), without $(median "${b[@]}") s ($((peak_b / 1024)) MB): $(ratio "$(median "${a[@]}")" "$(median "${b[@]}")")x")
  echo "${sheet_rows[-1]}"
done
rm -f "$work"/sheet_zorvl.* "$work"/cells_zorvl.*

report=$(cat <<EOT
### $(date -u +%Y-%m-%d) — $(git rev-parse --short HEAD), the surface fill against the DEMs and GRASS r.surf.contour

- machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(nproc) cores; $(g++ --version | head -1); Release (-O3); $(gdalinfo --version)$( ((have_grass)) && echo "; $(grass --version 2>&1 | head -1)")
- job: the program's whole run (read, rasterize, fill, write Float32 GeoTIFF), median of $rounds; fill: the fill alone on the same contour cells, median of $rounds; r.surf.contour: the GRASS fill alone, best of $grass_rounds; error: RMS / 99th percentile / maximum of |surface - DEM| in metres

| DEM | grid | job s | fill s | r.surf.contour s | r.surf.contour / fill | error, program | error, GRASS |
|---|---|---|---|---|---|---|---|
$(printf '%s\n' "${rows[@]}")

The 8000 x 8000 grid of the 500 MB sheet (medians of $rounds alternating runs, peak resident memory):
$(printf '%s\n' "${sheet_rows[@]}")
EOT
)
echo "$report"
printf '\n%s\n' "$report" >>bench/RESULTS.md
