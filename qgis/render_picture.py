"""The README's picture of the plugin's output as QGIS renders it: the
terrain surface's elevation bands from the Jacksboro DEM's contours every
50 m, run through the provider in a headless QGIS, with the style the
program writes beside the raster, drawn by QGIS's own layout renderer with
its legend.

    /usr/bin/python3 qgis/render_picture.py PROGRAM CONTOURS.gpkg OUT.png
"""
import os
import sys
import tempfile

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")
os.environ["LANGUAGE"] = "en"

from qgis.core import (  # noqa: E402
    QgsApplication,
    QgsLayoutExporter,
    QgsLayoutItemLegend,
    QgsLayoutItemMap,
    QgsLayoutPoint,
    QgsLayoutSize,
    QgsPrintLayout,
    QgsProcessingContext,
    QgsProcessingFeedback,
    QgsProject,
    QgsRasterLayer,
    QgsUnitTypes,
    QgsVectorLayer,
)

program_path, contours, picture = sys.argv[1:4]
app = QgsApplication([], False)
app.initQgis()
sys.path.insert(0, "/usr/share/qgis/python/plugins")
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import processing  # noqa: E402
from processing.core.Processing import Processing  # noqa: E402
from processing.core.ProcessingConfig import ProcessingConfig  # noqa: E402

Processing.initialize()
from zorvel_raster.provider import ZorvelProvider  # noqa: E402
from zorvel_raster import program  # noqa: E402

provider = ZorvelProvider()
QgsApplication.processingRegistry().addProvider(provider)
ProcessingConfig.setSettingValue(program.SETTING, program_path)

layer = QgsVectorLayer(contours, "contours", "ogr")
out = os.path.join(tempfile.mkdtemp(prefix="zorvel_picture_"), "bands.tif")
processing.run("zorvel:terrainsurface", dict(INPUT=layer, FIELD="elev", CELL_SIZE=30, KIND=1, OUTPUT=out),
               context=QgsProcessingContext(), feedback=QgsProcessingFeedback())
bands = QgsRasterLayer(out, "Terrain surface: elevation bands")
project = QgsProject.instance()
project.addMapLayer(bands)

layout = QgsPrintLayout(project)
layout.initializeDefaults()
page = layout.pageCollection().page(0)
page.setPageSize(QgsLayoutSize(230, 160, QgsUnitTypes.LayoutMillimeters))
item = QgsLayoutItemMap(layout)
item.attemptMove(QgsLayoutPoint(5, 5, QgsUnitTypes.LayoutMillimeters))
item.attemptResize(QgsLayoutSize(150, 150, QgsUnitTypes.LayoutMillimeters))
item.setLayers([bands])
item.setExtent(bands.extent())
layout.addLayoutItem(item)
legend = QgsLayoutItemLegend(layout)
legend.setTitle("zorvel_raster")
legend.setLinkedMap(item)
legend.attemptMove(QgsLayoutPoint(160, 5, QgsUnitTypes.LayoutMillimeters))
layout.addLayoutItem(legend)
settings = QgsLayoutExporter.ImageExportSettings()
settings.dpi = 60
result = QgsLayoutExporter(layout).exportToImage(picture, settings)
print("written" if result == QgsLayoutExporter.Success else f"export failed: {result}", picture, flush=True)
os._exit(0 if result == QgsLayoutExporter.Success else 1)
