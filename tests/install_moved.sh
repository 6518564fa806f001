#!/usr/bin/env bash
# An install under a prefix, then moved elsewhere: the program still speaks
# English and Spanish as the locale asks, and finds its GDAL module.
#
#   tests/install_moved.sh BUILD_DIR WITH_GDAL(0|1) SOURCE.geojson
set -euo pipefail
build=$1 gdal=$2 source=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/first" >/dev/null
mv "$work/first" "$work/moved"
bin="$work/moved/bin/zorvel_raster"
say() {  # the first line of --help under the given locale variables
  env -u LANGUAGE -u LC_ALL -u LC_MESSAGES -u LANG -u ZORVEL_RASTER_LOCALEDIR -u ZORVEL_RASTER_OGR "$@" "$bin" --help | head -1
}
status=0
expect() {
  if [ "$1" != "$2" ]; then echo "$3: '$1', expected '$2'"; status=1; fi
}
english="Usage: zorvel_raster [options] DRAWING.dxf... OUTPUT"
spanish="Uso: zorvel_raster [opciones] DIBUJO.dxf... SALIDA"
expect "$(say LANG=en_US.UTF-8)" "$english" "en_US.UTF-8"
expect "$(say LANG=C)" "$english" "C"
expect "$(say LANG=es_ES.UTF-8)" "$spanish" "es_ES.UTF-8"
expect "$(say LANGUAGE=es LANG=C.UTF-8)" "$spanish" "LANGUAGE=es on C.UTF-8"
# the Spanish as it is written comes from the moved catalog
expect "$(env -u LANGUAGE -u LC_ALL LANG=es_ES.UTF-8 "$bin" in.dxf out 2>&1)" \
  "zorvel_raster: -tr: falta el tamaño del píxel, que es obligatorio" "a stop in Spanish"
if [ "$gdal" = 1 ]; then
  if ! env -u ZORVEL_RASTER_OGR LANG=C "$bin" -q -tr 10 "$source" "$work/out.tif" || [ ! -s "$work/out.tif" ]; then
    echo "the moved install does not read $source through its GDAL module"
    status=1
  fi
fi
[ $status -eq 0 ] && echo "the moved install speaks both languages and finds its module"
exit $status
