#!/usr/bin/python3
"""Rewrites the LWPOLYLINE entities of a DXF drawing as old-style 3D
POLYLINE/VERTEX entities, which zorvel_raster's dialogue reads, keeping the
header extents. The elevation of each line (group 38) becomes the Z of its
vertices. (The command line reads LWPOLYLINE drawings itself, through GDAL.)

    tools/lwpolyline_to_polyline.py contours.dxf contours_r12.dxf

Needs the ezdxf module (Debian: python3-ezdxf). The vertices it writes carry
a handle and a layer before X: read them with a skip count of 4.
"""
import sys

try:
    import ezdxf
except ImportError:
    sys.exit("lwpolyline_to_polyline.py: needs the ezdxf module (Debian: apt-get install python3-ezdxf)")


def main(source, target):
    try:
        src = ezdxf.readfile(source)
    except IOError as e:
        sys.exit(f"lwpolyline_to_polyline.py: cannot read {source}: {e.strerror or e}")
    except ezdxf.DXFStructureError as e:
        sys.exit(f"lwpolyline_to_polyline.py: {source} is not a DXF drawing ezdxf can read: {e}")
    out = ezdxf.new("R12")
    msp = out.modelspace()
    lines = 0
    for e in src.modelspace().query("LWPOLYLINE"):
        z = float(e.dxf.elevation)
        points = [(x, y, z) for x, y in e.get_points("xy")]
        if e.closed and points:
            points.append(points[0])
        msp.add_polyline3d(points, dxfattribs={"layer": e.dxf.layer})
        lines += 1
    # the header extents are taken from the modelspace when the drawing is saved
    msp.dxf.extmin = src.header.get("$EXTMIN", (0.0, 0.0, 0.0))
    msp.dxf.extmax = src.header.get("$EXTMAX", (0.0, 0.0, 0.0))
    try:
        out.saveas(target)
    except IOError as e:
        sys.exit(f"lwpolyline_to_polyline.py: cannot write {target}: {e.strerror or e}")
    print(f"{lines} lines written to {target}")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
