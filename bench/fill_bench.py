#!/usr/bin/python3
# Helpers of fill_bench.sh (Debian's python3 with python3-gdal and numpy):
#
#   fill_bench.py synthetic OUT.tif [seed]   a seeded DEM of smooth hills and
#                                            pits, 1600 x 1600 cells of 5 m
#   fill_bench.py jacksboro OUT.tif          matplotlib's sample DEM (3 arc
#                                            seconds), in geographic coordinates
#   fill_bench.py topobathy OUT.tif          its other one, land and sea floor
#                                            (2 by 1.3 arc minutes), the same
#   fill_bench.py fractal OUT.tif seed beta  a seeded fractal DEM (power spectrum
#                                            falling as f^-beta: rougher for a
#                                            smaller beta), 512 x 512 cells of
#                                            10 m, from 100 to 500 m
#   fill_bench.py grid DEM.tif               "xmin ymin xmax ymax cell" of a DEM
#   fill_bench.py size DEM.tif               "columns rows" of a DEM
#   fill_bench.py errors DEM.tif SURFACE.tif...
#                                            for each surface, "RMS / p99 / max" of
#                                            |SURFACE - DEM| over the DEM's cells
#                                            that every surface has, by map position
import sys

import numpy as np
from osgeo import gdal, osr

gdal.UseExceptions()


def write(path, z, transform, epsg):
    ds = gdal.GetDriverByName("GTiff").Create(path, z.shape[1], z.shape[0], 1, gdal.GDT_Float32)
    ds.SetGeoTransform(transform)
    srs = osr.SpatialReference()
    srs.ImportFromEPSG(epsg)
    ds.SetProjection(srs.ExportToWkt())
    ds.GetRasterBand(1).WriteArray(z.astype(np.float32))
    ds = None


def synthetic(path, seed):
    rng = np.random.default_rng(seed)
    n, cell = 1600, 5.0
    y, x = np.mgrid[0:n, 0:n] * cell
    z = np.full((n, n), 300.0)
    side = n * cell
    for _ in range(40):  # hills and pits of 20 to 150 m, 300 to 1500 m wide
        cx, cy = rng.uniform(0, side, 2)
        height = rng.uniform(20, 150) * (1 if rng.uniform() < 0.7 else -1)
        spread = rng.uniform(300, 1500)
        z += height * np.exp(-((x - cx) ** 2 + (y - cy) ** 2) / (2 * spread ** 2))
    # a gentle tilt, so that the ground beyond the outer contours is not flat
    z += 0.004 * x - 0.002 * y
    write(path, z, (500000.0, cell, 0.0, 4200000.0, 0.0, -cell), 32630)


def fractal(path, seed, beta):
    """Terrain of no one place, which nothing was tuned on: random phases
    under a power spectrum falling as f^-beta."""
    n = 512
    rng = np.random.default_rng(seed)
    f = np.hypot(np.fft.fftfreq(n)[:, None], np.fft.fftfreq(n)[None, :])
    f[0, 0] = 1.0
    amplitude = f ** (-beta / 2)
    amplitude[0, 0] = 0.0
    z = np.real(np.fft.ifft2(amplitude * np.exp(1j * rng.uniform(0, 2 * np.pi, (n, n)))))
    z = 100.0 + 400.0 * (z - z.min()) / (z.max() - z.min())
    write(path, z, (400000.0, 10.0, 0.0, 4500000.0, 0.0, -10.0), 32630)


def jacksboro(path):
    d = np.load("/usr/share/matplotlib/mpl-data/sample_data/jacksboro_fault_dem.npz")
    z = d["elevation"].astype(np.float64)
    # the file's "ymin" is the northern edge: row 0 is the north
    write(path, z, (float(d["xmin"]), float(d["dx"]), 0.0, float(d["ymin"]), 0.0, -float(d["dy"])), 4326)


def topobathy(path):
    """matplotlib's other sample DEM: land and sea floor off Vancouver Island,
    2 arc minutes east-west by 1.3 north-south, in geographic coordinates."""
    d = np.load("/usr/share/matplotlib/mpl-data/sample_data/topobathy.npz")
    z = d["topo"].astype(np.float64)
    lon, lat = d["longitude"].astype(np.float64) - 360.0, d["latitude"].astype(np.float64)
    dx, dy = (lon[-1] - lon[0]) / (len(lon) - 1), (lat[-1] - lat[0]) / (len(lat) - 1)
    # the file's rows run from the south: row 0 is the south
    write(path, z[::-1], (lon[0] - dx / 2, dx, 0.0, lat[-1] + dy / 2, 0.0, -dy), 4326)


def size(path):
    ds = gdal.Open(path)
    print(ds.RasterXSize, ds.RasterYSize)


def grid(path):
    ds = gdal.Open(path)
    t = ds.GetGeoTransform()
    print(f"{t[0]!r} {t[3] + t[5] * ds.RasterYSize!r} {t[0] + t[1] * ds.RasterXSize!r} {t[3]!r} {t[1]!r}")


def aligned(dem, surf):
    """The surface's cells over the DEM's grid, NaN where it has none."""
    td, ts = dem.GetGeoTransform(), surf.GetGeoTransform()
    if abs(td[1] - ts[1]) > 1e-9 * abs(td[1]) or abs(td[5] - ts[5]) > 1e-9 * abs(td[5]):
        sys.exit("the two grids have different cells")
    # the surface's cell offset from the DEM's, a whole number of cells
    dj, di = (ts[0] - td[0]) / td[1], (ts[3] - td[3]) / td[5]
    if abs(dj - round(dj)) > 1e-6 or abs(di - round(di)) > 1e-6:
        sys.exit(f"the grids are not aligned (offset {dj}, {di} cells)")
    dj, di = int(round(dj)), int(round(di))
    b = surf.GetRasterBand(1).ReadAsArray().astype(np.float64)
    nodata = surf.GetRasterBand(1).GetNoDataValue()
    if nodata is not None:
        b[b == nodata] = np.nan
    out = np.full((dem.RasterYSize, dem.RasterXSize), np.nan)
    # DEM rows i are surface rows i - di
    i0, j0 = max(0, di), max(0, dj)
    i1, j1 = min(out.shape[0], di + b.shape[0]), min(out.shape[1], dj + b.shape[1])
    out[i0:i1, j0:j1] = b[i0 - di:i1 - di, j0 - dj:j1 - dj]
    return out


def errors(dem_path, surface_paths):
    dem = gdal.Open(dem_path)
    a = dem.GetRasterBand(1).ReadAsArray().astype(np.float64)
    dem_nodata = dem.GetRasterBand(1).GetNoDataValue()
    ok = np.isfinite(a) if dem_nodata is None else (a != dem_nodata)
    surfaces = [aligned(dem, gdal.Open(p)) for p in surface_paths]
    for s in surfaces:
        ok &= np.isfinite(s)
    for s in surfaces:
        e = np.abs(s[ok] - a[ok])
        print(f"{np.sqrt(np.mean(e ** 2)):.3f} / {np.percentile(e, 99):.3f} / {e.max():.3f}")


if __name__ == "__main__":
    what = sys.argv[1]
    if what == "synthetic":
        synthetic(sys.argv[2], int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    elif what == "fractal":
        fractal(sys.argv[2], int(sys.argv[3]), float(sys.argv[4]))
    elif what == "jacksboro":
        jacksboro(sys.argv[2])
    elif what == "topobathy":
        topobathy(sys.argv[2])
    elif what == "size":
        size(sys.argv[2])
    elif what == "grid":
        grid(sys.argv[2])
    elif what == "errors":
        errors(sys.argv[2], sys.argv[3:])
    else:
        sys.exit("unknown command " + what)
