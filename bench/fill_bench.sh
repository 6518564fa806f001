#!/usr/bin/env bash
# The surface fill's benchmark: time and error against the DEM the contours
# were drawn from, paired with the tools a user has instead, on the same
# contours and grid: GRASS r.surf.contour (when grass-core is installed) and
# a TIN of the contours' vertices (gdal_grid -a linear); then the fill on the
# 8000 x 8000 grid of the whole-run benchmark's sheet.
#
# For each DEM and contour interval: gdal_contour draws the contours into a
# GeoPackage; the program rasterizes and fills them on the DEM's own grid
# (-te and -tr of the DEM), writing Float32; GRASS sets the same grid as its
# region (g.region, its bounds and its rows and columns), imports the same
# contours (v.in.ogr), burns their elevations (v.to.rast use=attr) into it,
# fills it (r.surf.contour) and exports it (r.out.gdal); gdal_grid
# triangulates the same vertices onto the same grid. Reported: the program's
# whole job (median of `rounds`), its fill alone (the stage the program
# times in those same runs), GRASS's whole pipeline (median of
# `grass_rounds`) and the ratio of the two medians, gdal_grid (one run), and
# for the three surfaces the RMS, 99th percentile and maximum of
# |surface - DEM| over the cells all three have. GRASS and the program take
# turns, each job right after the other's, so that both meet the machine's
# spells alike and each finds the memory as the other left it: a run right
# after one of its own finds the pages that run gave back, still warm, and
# this machine hands out pages nobody used for some seconds several times
# slower (the Jacksboro job every 10 m took 0.33 s right after its own and
# 0.47 s right after GRASS's).
#
# DEMs: a seeded synthetic one of smooth hills and pits (1600 x 1600 cells of
# 5 m, contours every 5 m), matplotlib's sample DEM of the Jacksboro fault
# (Debian's python-matplotlib-data; 3 arc seconds warped to 30 m cells,
# contours every 10 and 50 m, and in degrees as it comes, contours every
# 20 m), its other sample DEM, of land and sea floor off Vancouver Island (2
# by 1.3 arc minutes warped to 2 km cells, contours every 100 and 250 m), two
# seeded fractal DEMs, a smooth one and a rough one (512 x 512 cells of 10 m,
# contours every 10 and 25 m), and any GeoTIFF DEM given as DEM:INTERVAL.
#
#   bench/fill_bench.sh [rounds=7] [DEM.tif:INTERVAL ...]
#
# FILL_BENCH_GRASS_ROUNDS (`rounds` by default, at most that) sets GRASS's
# runs: the program's runs past them follow its own.
#
# Needs gdal-bin and python3-gdal; grass-core for the pairing; the 8000 x 8000
# part makes the 500 MB sheet with bench/make_drawing (as run_bench.sh does).
# FILL_BENCH_SHEET=0 leaves the sheet out.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-7}
shift $(($# > 1 ? 1 : $#))
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZORVEL_BENCH=ON -DZORVEL_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
work="$build/fill"
mkdir -p "$work"
py=/usr/bin/python3
helper=bench/fill_bench.py
have_grass=0
command -v grass >/dev/null && have_grass=1
grass_rounds=${FILL_BENCH_GRASS_ROUNDS:-$rounds}
((grass_rounds > rounds)) && grass_rounds=$rounds
((grass_rounds < 1)) && grass_rounds=1

median() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.1f", a / b}'; }
seconds() {  # the wall time of a command, its output dropped
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || true
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN {printf "%.3f", b - a}'
}
job_and_fill() {  # the program's wall time, then its fill's as the same run times it
  local start end told
  start=$(date +%s.%N)
  told=$(ZORVEL_RASTER_STAGES=1 "$@" 2>&1 >/dev/null || true)
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" -v f="$(grep -o 'relleno [0-9.]*' <<<"$told" | awk '{print $2}')" \
    'BEGIN {printf "%.3f %s\n", b - a, f}'
}

# the GRASS job: the grid set as the program's is (-te and the cells), then
# import, burn, fill, export; the DEM, which a user of either tool would
# not have, is not read
printf '%s\n' '#!/usr/bin/env bash' 'set -e' \
  'g.region n="$4" s="$5" e="$6" w="$7" rows="$8" cols="$9"' \
  'v.in.ogr --quiet input="$2" output=contours' \
  'v.to.rast --quiet input=contours output=crast use=attr attribute_column=elev' \
  'r.surf.contour --quiet --overwrite input=crast output=surf' \
  'r.out.gdal --quiet -f input=surf output="$3" format=GTiff type=Float32 2>/dev/null' >"$work/grass_job.sh"
chmod +x "$work/grass_job.sh"

rows=()
one_dem() {  # name dem.tif interval epsg
  local name=$1 dem=$2 interval=$3 epsg=$4
  local contours="$work/${name}_c${interval}.gpkg"
  rm -f "$contours"
  gdal_contour -q -i "$interval" -a elev "$dem" "$contours"
  read -r xmin ymin xmax ymax cell < <("$py" "$helper" grid "$dem")
  local cols lines
  read -r cols lines < <("$py" "$helper" size "$dem")
  local te=(-te "$xmin" "$ymin" "$xmax" "$ymax" -tr "$cell")
  local tj=() tf=() tg=() s srs=""
  ((have_grass)) && srs=$(gdalsrsinfo -o epsg "$dem" 2>/dev/null | grep -o 'EPSG:[0-9]*' | head -1)
  local f
  for ((k = 0; k < rounds; ++k)); do
    # each tool writes into an empty place: an earlier output's removal is timed for none
    if ((have_grass && k < grass_rounds)); then
      rm -f "$work/grass.tif"
      # GRASS's own exit status is not the job's: the export is checked instead
      tg+=("$(seconds grass --tmp-location "${srs:-EPSG:$epsg}" --exec "$work/grass_job.sh" "$PWD/$dem" \
        "$PWD/$contours" "$PWD/$work/grass.tif" "$ymax" "$ymin" "$xmax" "$xmin" "$lines" "$cols")")
      [ -f "$work/grass.tif" ] || { echo "the GRASS job on $dem wrote no surface" >&2; exit 1; }
    fi
    rm -f "$work/ours.tif"
    read -r s f < <(job_and_fill "$build/zorvel_raster" -q --overwrite -fill -ot Float32 -a elev "${te[@]}" "$contours" "$work/ours.tif")
    tj+=("$s")
    tf+=("$f")
  done
  local fill
  fill=$(median "${tf[@]}")
  local surfaces=("$work/ours.tif") grass_s="-" times="-" tin_s job
  job=$(median "${tj[@]}")
  if ((have_grass)); then
    grass_s=$(median "${tg[@]}")
    times=$(ratio "$grass_s" "$job")
    surfaces+=("$work/grass.tif")
  fi
  rm -f "$work/tin.tif"
  tin_s=$(seconds gdal_grid -q -a linear -zfield elev -txe "$xmin" "$xmax" -tye "$ymax" "$ymin" \
    -outsize "$cols" "$lines" -ot Float32 -of GTiff "$contours" "$work/tin.tif")
  [ -f "$work/tin.tif" ] || { echo "gdal_grid on $dem wrote no surface" >&2; exit 1; }
  surfaces+=("$work/tin.tif")
  local errors ours grass="- / - / -" tin
  errors=$("$py" "$helper" errors "$dem" "${surfaces[@]}")
  ours=$(echo "$errors" | sed -n 1p)
  if ((have_grass)); then grass=$(echo "$errors" | sed -n 2p); fi
  tin=$(echo "$errors" | tail -1)
  rows+=("| $name, contours every $interval | ${cols} x ${lines} | $job | $fill | $grass_s | $times | $tin_s | $ours | $grass | $tin |")
  echo "${rows[-1]}"
}

"$py" "$helper" synthetic "$work/synthetic.tif" 1
one_dem synthetic "$work/synthetic.tif" 5 32630
# one of matplotlib's sample DEMs (its file, what the helper calls it), in
# degrees as it comes (NAME_geo.tif) and warped to the given UTM zone and
# cell (NAME.tif); false where Debian's python-matplotlib-data is not there
sample_dem() {  # file name epsg cell
  [ -f "/usr/share/matplotlib/mpl-data/sample_data/$1" ] || return 1
  "$py" "$helper" "$2" "$work/$2_geo.tif"
  gdalwarp -q -overwrite -t_srs "EPSG:$3" -tr "$4" "$4" -tap -r bilinear -dstnodata -9999 \
    "$work/$2_geo.tif" "$work/$2.tif"
}
if sample_dem jacksboro_fault_dem.npz jacksboro 32616 30; then
  one_dem jacksboro "$work/jacksboro.tif" 10 32616
  one_dem jacksboro "$work/jacksboro.tif" 50 32616
  one_dem jacksboro_degrees "$work/jacksboro_geo.tif" 20 4326
fi
if sample_dem topobathy.npz topobathy 32610 2000; then
  one_dem topobathy "$work/topobathy.tif" 100 32610
  one_dem topobathy "$work/topobathy.tif" 250 32610
fi
"$py" "$helper" fractal "$work/fractal_smooth.tif" 7 3.2
"$py" "$helper" fractal "$work/fractal_rough.tif" 19 2.6
for name in fractal_smooth fractal_rough; do
  one_dem "$name" "$work/$name.tif" 10 32630
  one_dem "$name" "$work/$name.tif" 25 32630
done
for given in "$@"; do
  one_dem "$(basename "${given%%:*}" .tif)" "${given%%:*}" "${given##*:}" 4326
done

# the 8000 x 8000 grid of the whole-run benchmark's sheet: the job with the
# fill against the job without it, writing classes and writing elevations
sheet_rows=()
if [ "${FILL_BENCH_SHEET:-1}" != 0 ]; then
  sheet="$build/data/bench/contours_roundtrip_500.dxf"
  mkdir -p "$(dirname "$sheet")"
  [ -f "$sheet" ] || "$build/bench/make_drawing" --digits roundtrip "$sheet" 500 1 >/dev/null
  options=(-q --overwrite -of ENVI -tr 5 -te 500000 4100000 540000 4140000 -reg 4 -interval 10 -min 200 -max 900)
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
  rm -f "$work"/sheet_zorvl.*
fi

report=$(cat <<EOT
### $(date -u +%Y-%m-%d) — $(git rev-parse --short HEAD), the surface fill against the DEMs, GRASS r.surf.contour and a TIN

- machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs), $(nproc) cores; $(g++ --version | head -1); Release (-O3); $(gdalinfo --version)$( ((have_grass)) && echo "; $(grass --version 2>&1 | head -1)")
- job: the program's whole run (read, rasterize, fill, write Float32 GeoTIFF), median of $rounds; fill: the fill alone, as the program times it in those runs, median of $rounds; GRASS: its whole pipeline (the grid set as its region, import, burn, r.surf.contour, export), median of $grass_rounds; the two take turns, each job right after the other's; GRASS / job: the ratio of the two medians; TIN: gdal_grid -a linear on the contours' vertices, one run; error: RMS / 99th percentile / maximum of |surface - DEM| in metres, over the cells all three surfaces have

| DEM | grid | job s | fill s | GRASS s | GRASS / job | TIN s | error, program | error, GRASS | error, TIN |
|---|---|---|---|---|---|---|---|---|---|
$(printf '%s\n' "${rows[@]}")
$( ((${#sheet_rows[@]})) && printf '\nThe 8000 x 8000 grid of the 500 MB sheet (medians of %s alternating runs, peak resident memory):\n%s' "$rounds" "$(printf '%s\n' "${sheet_rows[@]}")")
EOT
)
echo "$report"
printf '\n%s\n' "$report" >>bench/RESULTS.md
