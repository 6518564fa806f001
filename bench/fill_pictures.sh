#!/usr/bin/env bash
# The README's pictures of the surface fill: hillshades of one part of the
# Jacksboro DEM (30 m cells), of the program's -fill from its contours every
# 10 m, of GRASS r.surf.contour's and of a TIN's (gdal_grid -a linear) from
# the same contours on the same grid, written as doc/fill/*.png.
#
#   bench/fill_pictures.sh [xoff yoff size]   (the part, in cells; 430 330 256)
#
# Needs gdal-bin, python3-gdal, python-matplotlib-data and grass-core.
set -euo pipefail
cd "$(dirname "$0")/.."
xoff=${1:-430} yoff=${2:-330} size=${3:-256}
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZORVEL_BENCH=ON -DZORVEL_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
work="$build/pictures"
mkdir -p "$work" doc/fill
py=/usr/bin/python3
"$py" bench/fill_bench.py jacksboro "$work/jacksboro_geo.tif"
gdalwarp -q -overwrite -t_srs EPSG:32616 -tr 30 30 -tap -r bilinear -dstnodata -9999 \
  "$work/jacksboro_geo.tif" "$work/dem.tif"
rm -f "$work/contours.gpkg"
gdal_contour -q -i 10 -a elev "$work/dem.tif" "$work/contours.gpkg"
read -r xmin ymin xmax ymax cell < <("$py" bench/fill_bench.py grid "$work/dem.tif")
read -r cols lines < <("$py" bench/fill_bench.py size "$work/dem.tif")
"$build/zorvel_raster" -q --overwrite -fill -ot Float32 -a elev -te "$xmin" "$ymin" "$xmax" "$ymax" -tr "$cell" \
  "$work/contours.gpkg" "$work/fill.tif"
printf '%s\n' '#!/usr/bin/env bash' 'set -e' \
  'r.in.gdal --quiet input="$1" output=dem' 'g.region raster=dem' \
  'v.in.ogr --quiet input="$2" output=contours' \
  'v.to.rast --quiet input=contours output=crast use=attr attribute_column=elev' \
  'r.surf.contour --quiet --overwrite input=crast output=surf' \
  'r.out.gdal --quiet -f input=surf output="$3" format=GTiff type=Float32 2>/dev/null' >"$work/grass_job.sh"
chmod +x "$work/grass_job.sh"
rm -f "$work/grass.tif"
grass --tmp-location EPSG:32616 --exec "$work/grass_job.sh" "$PWD/$work/dem.tif" "$PWD/$work/contours.gpkg" \
  "$PWD/$work/grass.tif" >/dev/null 2>&1 || true
[ -f "$work/grass.tif" ] || { echo "the GRASS job wrote no surface" >&2; exit 1; }
gdal_grid -q -a linear -zfield elev -txe "$xmin" "$xmax" -tye "$ymax" "$ymin" -outsize "$cols" "$lines" \
  -ot Float32 -of GTiff "$work/contours.gpkg" "$work/tin.tif"
for name in dem fill grass tin; do
  gdaldem hillshade -q -z 3 -compute_edges "$work/$name.tif" "$work/${name}_shade.tif"
  gdal_translate -q -of PNG -srcwin "$xoff" "$yoff" "$size" "$size" "$work/${name}_shade.tif" "doc/fill/$name.png"
  rm -f "doc/fill/$name.png.aux.xml"
done
echo "errors over the whole grid (RMS / 99th percentile / maximum, m): program, GRASS, TIN"
"$py" bench/fill_bench.py errors "$work/dem.tif" "$work/fill.tif" "$work/grass.tif" "$work/tin.tif"
