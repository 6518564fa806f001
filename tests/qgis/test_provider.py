"""The QGIS plugin in a real QGIS, headless: Processing initialised, the
provider registered, each algorithm run on the example drawing's contours
as a GeoPackage and as a Shapefile, and its raster compared cell for cell
with the command line's; a cancelled run leaves nothing; a bad field gives
the program's stop line; the class raster's style loads as a paletted
renderer of its classes; a program that is not there is one clear message.

    python3 tests/qgis/test_provider.py PROGRAM PLUGIN_FOLDER EXAMPLE.dxf
"""
import os
import shutil
import subprocess
import sys
import tempfile

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
os.environ["LANGUAGE"] = "en"
os.environ["LC_ALL"] = "C.UTF-8"

from osgeo import gdal  # noqa: E402
from qgis.core import (  # noqa: E402
    QgsApplication,
    QgsFeatureRequest,
    QgsProcessingContext,
    QgsProcessingException,
    QgsProcessingFeedback,
    QgsRasterLayer,
    QgsVectorLayer,
)

gdal.UseExceptions()
PROGRAM, PLUGINS, EXAMPLE = sys.argv[1:4]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAILED:", what)


def cells(path):
    d = gdal.Open(path)
    return d.GetGeoTransform(), d.GetRasterBand(1).ReadAsArray().tobytes(), d.GetRasterBand(1).DataType


app = QgsApplication([], False)
app.initQgis()
sys.path.insert(0, "/usr/share/qgis/python/plugins")
sys.path.insert(0, PLUGINS)
import processing  # noqa: E402
from processing.core.Processing import Processing  # noqa: E402
from processing.core.ProcessingConfig import ProcessingConfig  # noqa: E402

Processing.initialize()
from zorvel_raster.provider import ZorvelProvider  # noqa: E402
from zorvel_raster import program  # noqa: E402

provider = ZorvelProvider()
check(QgsApplication.processingRegistry().addProvider(provider), "the provider registers")
ProcessingConfig.setSettingValue(program.SETTING, PROGRAM)

work = tempfile.mkdtemp(prefix="zorvel_qgis_")
gpkg, shp = os.path.join(work, "contours.gpkg"), os.path.join(work, "contours.shp")
gdal.VectorTranslate(gpkg, EXAMPLE, layerName="curvas", format="GPKG")
gdal.VectorTranslate(shp, EXAMPLE, format="ESRI Shapefile")


def run(algorithm, parameters, feedback=None):
    context = QgsProcessingContext()
    return processing.run("zorvel:" + algorithm, parameters, context=context, feedback=feedback or QgsProcessingFeedback())


class Progress(QgsProcessingFeedback):
    def __init__(self):
        super().__init__()
        self.seen = []
        self.progressChanged.connect(self.seen.append)


# each algorithm on each source, against the command line on the same file
cases = [("contourstoclasses", {"INTERVAL": 5}, ["-interval", "5", "-ot", "Byte"]),
         ("contourstoelevations", {}, ["-ot", "Float32"]),
         ("terrainsurface", {"KIND": 0, "INTERVAL": 5}, ["-interval", "5", "-fill", "-ot", "Float32"]),
         ("terrainsurface", {"KIND": 1, "INTERVAL": 5}, ["-interval", "5", "-fill", "-ot", "Byte"])]
for source, options in ((gpkg, ["-l", "curvas"]), (shp, [])):
    layer = QgsVectorLayer(source if source == shp else source + "|layername=curvas", "contours", "ogr")
    check(layer.isValid(), f"{source} opens")
    for n, (algorithm, extra, args) in enumerate(cases):
        out = os.path.join(work, f"{algorithm}_{n}_{os.path.basename(source)}.tif")
        reference = os.path.join(work, f"reference_{n}_{os.path.basename(source)}.tif")
        subprocess.run([PROGRAM, "-q", "-tr", "10"] + args + options + [source, reference], check=True)
        feedback = Progress()
        parameters = dict(INPUT=layer, CELL_SIZE=10, OUTPUT=out, **extra)
        result = run(algorithm, parameters, feedback)
        check(result["OUTPUT"] == out, f"{algorithm} on {source} names its output")
        check(cells(out) == cells(reference), f"{algorithm} {extra} on {source}: the command line's cells")
        check(feedback.seen and max(feedback.seen) == 100, f"{algorithm} on {source}: progress to 100 ({feedback.seen[-3:]})")
        style = out[:-4] + ".qml"
        check(os.path.exists(style) == (args[-1] == "Byte"), f"{algorithm} {extra}: a style with a class raster only")

# the class raster's style: a paletted renderer of the classes its cells take
classes = os.path.join(work, "contourstoclasses_0_contours.gpkg.tif")
shown = QgsRasterLayer(classes, "classes")
renderer = shown.renderer()
check(renderer.type() == "paletted", f"the style's renderer is paletted, not {renderer.type()}")
d = gdal.Open(classes)
values = sorted(set(d.GetRasterBand(1).ReadAsArray().ravel().tolist()) - {255})
metadata = d.GetMetadata()
want = [(v, f"{metadata['CLASS_%d' % v]} m") for v in values]
got = [(c.value, c.label) for c in renderer.classes()] if renderer.type() == "paletted" else []
check(got == want, f"the style's classes {got[:3]}... are the cells' {want[:3]}...")
bands_layer = QgsRasterLayer(os.path.join(work, "terrainsurface_3_contours.gpkg.tif"), "bands")
bands = bands_layer.renderer()
labels = [c.label for c in bands.classes()] if bands.type() == "paletted" else []
check(labels and all(" - " in label and label.endswith(" m") for label in labels), f"bands labelled as ranges: {labels[:3]}")

# a layer QGIS holds in memory goes to the program through a GeoPackage
memory = QgsVectorLayer(gpkg + "|layername=curvas", "contours", "ogr").materialize(QgsFeatureRequest())
check(memory.providerType() == "memory", "a memory layer")
out = os.path.join(work, "memory.tif")
run("contourstoclasses", dict(INPUT=memory, CELL_SIZE=10, INTERVAL=5, OUTPUT=out))
check(cells(out) == cells(os.path.join(work, "reference_0_contours.gpkg.tif")), "a memory layer: the same cells")

# a filter on the layer is the program's -where
filtered = QgsVectorLayer(gpkg + "|layername=curvas", "contours", "ogr")
filtered.setSubsetString("fid <= 3")
out = os.path.join(work, "filtered.tif")
run("contourstoclasses", dict(INPUT=filtered, CELL_SIZE=10, INTERVAL=5, OUTPUT=out))
reference = os.path.join(work, "filtered_reference.tif")
subprocess.run([PROGRAM, "-q", "-tr", "10", "-interval", "5", "-l", "curvas", "-where", "fid <= 3", gpkg, reference],
               check=True)
check(cells(out) == cells(reference), "a filtered layer: the command line's -where")

# cancelled: the program stopped, nothing of its outputs left
folder = os.path.join(work, "cancelled")
os.mkdir(folder)
cancelled = QgsProcessingFeedback()
cancelled.cancel()
try:
    run("terrainsurface", dict(INPUT=QgsVectorLayer(shp, "c", "ogr"), CELL_SIZE=1, OUTPUT=os.path.join(folder, "o.tif")),
        cancelled)
    check(False, "a cancelled run is an error")
except QgsProcessingException as e:
    check("cancel" in str(e), f"a cancelled run says so: {e}")
check(os.listdir(folder) == [], f"a cancelled run leaves nothing: {os.listdir(folder)}")

# a bad field: the program's own stop line
try:
    run("contourstoclasses", dict(INPUT=QgsVectorLayer(shp, "c", "ogr"), FIELD="Layer", CELL_SIZE=10,
                                  OUTPUT=os.path.join(work, "bad.tif")))
    check(False, "a text field as the elevation is an error")
except QgsProcessingException as e:
    said = subprocess.run([PROGRAM, "-q", "-tr", "10", "-a", "Layer", shp, os.path.join(work, "bad2.tif")],
                          capture_output=True, text=True).stderr.strip().splitlines()[-1]
    check(str(e) == said, f"a bad field gives the program's stop line: '{e}' against '{said}'")

# a program that is not there (any more: the setting takes only a file that is)
gone = os.path.join(work, "gone", "zorvel_raster")
os.mkdir(os.path.dirname(gone))
shutil.copy(PROGRAM, gone)
ProcessingConfig.setSettingValue(program.SETTING, gone)
os.remove(gone)
try:
    run("contourstoclasses", dict(INPUT=QgsVectorLayer(shp, "c", "ogr"), CELL_SIZE=10,
                                  OUTPUT=os.path.join(work, "none.tif")))
    check(False, "a missing program is an error")
except QgsProcessingException as e:
    check("not there" in str(e) and gone in str(e), f"a missing program is named: {e}")

shutil.rmtree(work)
print(f"{len(failures)} failed" if failures else "every check passed", flush=True)
# QGIS's own teardown with Python still holding its objects is not what is tested
os._exit(1 if failures else 0)
