#!/usr/bin/python3
"""Contour lines as surveyors' programs write them, for the benchmark.

A seeded terrain (hills, valleys and a rough surface of several scales) on
a 40 km square at 500000..540000 x 4100000..4140000, its contours traced
by GDAL (gdal_contour's algorithm, through the Python bindings) and written
as an R12 DXF by ezdxf, POLYLINE and VERTEX entities with the coordinates
as Python writes doubles (the shortest text that reads back as the same
double: 16 or 17 significant digits). Also writes the same contours as a
GeoPackage beside it, for the OGR route.

    bench/make_real_contours.py OUT.dxf [cells=2000] [interval=5] [seed=1]

Needs python3-gdal, python3-numpy and python3-ezdxf (Debian).
"""
import sys

import ezdxf
import numpy as np
from osgeo import gdal, ogr, osr

gdal.UseExceptions()


def terrain(cells, seed):
    """Elevations from 200 to 900 m: smooth random fields of four scales,
    from 3 to 150 waves across the sheet whatever its cells."""
    rng = np.random.default_rng(seed)
    z = np.zeros((cells, cells))
    fy = np.fft.fftfreq(cells, 1.0 / cells)[:, None]
    fx = np.fft.fftfreq(cells, 1.0 / cells)[None, :]
    f = np.sqrt(fx * fx + fy * fy)
    for scale, weight in ((3.0, 1.0), (12.0, 0.35), (40.0, 0.1), (150.0, 0.02)):
        noise = np.fft.fft2(rng.standard_normal((cells, cells)))
        field = np.real(np.fft.ifft2(noise * np.exp(-(f / scale) ** 2)))
        z += weight * field / field.std()
    z = (z - z.min()) / (z.max() - z.min())
    return 200.0 + 700.0 * z


def main():
    out = sys.argv[1]
    cells = int(sys.argv[2]) if len(sys.argv) > 2 else 2000
    interval = float(sys.argv[3]) if len(sys.argv) > 3 else 5.0
    seed = int(sys.argv[4]) if len(sys.argv) > 4 else 1
    x0, y0, side = 500000.0, 4100000.0, 40000.0
    pixel = side / cells

    dem = gdal.GetDriverByName("MEM").Create("", cells, cells, 1, gdal.GDT_Float64)
    dem.SetGeoTransform((x0, pixel, 0.0, y0 + side, 0.0, -pixel))
    srs = osr.SpatialReference()
    srs.ImportFromEPSG(25830)
    dem.SetProjection(srs.ExportToWkt())
    dem.GetRasterBand(1).WriteArray(terrain(cells, seed))

    gpkg = out.rsplit(".", 1)[0] + ".gpkg"
    ds = ogr.GetDriverByName("GPKG").CreateDataSource(gpkg)
    layer = ds.CreateLayer("contours", srs, ogr.wkbLineString25D)
    layer.CreateField(ogr.FieldDefn("ID", ogr.OFTInteger))
    layer.CreateField(ogr.FieldDefn("elev", ogr.OFTReal))
    gdal.ContourGenerateEx(dem.GetRasterBand(1), layer,
                           options=[f"LEVEL_INTERVAL={interval}", "ID_FIELD=0", "ELEV_FIELD=1"])
    ds = None

    doc = ezdxf.new("R12")
    msp = doc.modelspace()
    vertices = 0
    ds = ogr.Open(gpkg)
    for feature in ds.GetLayer(0):
        g = feature.GetGeometryRef()
        z = feature.GetField("elev")
        points = [(g.GetX(k), g.GetY(k), z) for k in range(g.GetPointCount())]
        vertices += len(points)
        msp.add_polyline3d(points, dxfattribs={"layer": "CURVAS"})
    doc.saveas(out)
    # ezdxf writes placeholder extents whatever the header was given: the
    # sheet's go in their place
    with open(out, "rb") as f:
        text = f.read()
    for name, x, y in (("$EXTMIN", x0, y0), ("$EXTMAX", x0 + side, y0 + side)):
        at = text.index(name.encode())
        end = text.index(b"  9\n", at + len(name))
        group = f"{name}\n 10\n{x!r}\n 20\n{y!r}\n 30\n0.0\n".encode()
        text = text[:at] + group + text[end:]
    with open(out, "wb") as f:
        f.write(text)
    print(f"{out}: {vertices} vertices; {gpkg}")


if __name__ == "__main__":
    main()
