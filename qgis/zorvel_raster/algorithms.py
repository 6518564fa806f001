"""The provider's algorithms: contour lines to elevation classes, to the
contours' elevations, and to a terrain surface filled between them. Each
builds the program's command line from its parameters and runs it."""
import os
import tempfile

from qgis.core import (
    QgsProcessing,
    QgsProcessingAlgorithm,
    QgsProcessingException,
    QgsProcessingParameterEnum,
    QgsProcessingParameterExtent,
    QgsProcessingParameterField,
    QgsProcessingParameterNumber,
    QgsProcessingParameterRasterDestination,
    QgsProcessingParameterVectorLayer,
    QgsProviderRegistry,
    QgsVectorFileWriter,
)

from . import program

SENSES = ["left (counter-clockwise)", "right (clockwise)"]


def number_text(value):
    """A double as the program reads it back exactly."""
    return repr(float(value))


class ZorvelAlgorithm(QgsProcessingAlgorithm):
    """What the three algorithms share: the contours, the grid, the classes."""

    def group(self):
        return "Contours to raster"

    def groupId(self):  # noqa: N802
        return "contours"

    def createInstance(self):  # noqa: N802
        return type(self)()

    def add_common(self, classes=True):
        self.addParameter(QgsProcessingParameterVectorLayer(
            "INPUT", "Contour lines", [QgsProcessing.TypeVectorLine]))
        self.addParameter(QgsProcessingParameterField(
            "FIELD", "Elevation field (empty: the vertices' Z)", parentLayerParameterName="INPUT", optional=True))
        self.addParameter(QgsProcessingParameterNumber(
            "CELL_SIZE", "Cell size (in the layer's units)", QgsProcessingParameterNumber.Double, minValue=0.0))
        self.addParameter(QgsProcessingParameterExtent(
            "EXTENT", "Extent (default: the whole layer)", optional=True))
        self.addParameter(QgsProcessingParameterNumber(
            "ROTATION", "Rotation of the grid, in degrees", QgsProcessingParameterNumber.Double, defaultValue=0.0))
        self.addParameter(QgsProcessingParameterEnum("SENSE", "Sense of the rotation", SENSES, defaultValue=0))
        if classes:
            self.addParameter(QgsProcessingParameterNumber(
                "INTERVAL", "Interval between classes (default: the contours' interval)",
                QgsProcessingParameterNumber.Integer, optional=True, minValue=1))
            self.addParameter(QgsProcessingParameterNumber(
                "MINIMUM", "Lowest class value (default: from the contours)",
                QgsProcessingParameterNumber.Integer, optional=True))
            self.addParameter(QgsProcessingParameterNumber(
                "MAXIMUM", "Top of the table (default: from the contours)",
                QgsProcessingParameterNumber.Integer, optional=True))

    def source_arguments(self, parameters, context, feedback):
        """The program's arguments for the layer: a file it reads as it is,
        with its layer and its filter; any other layer written to a
        GeoPackage first. Returns (arguments, source path, layer)."""
        layer = self.parameterAsVectorLayer(parameters, "INPUT", context)
        if layer is None:
            raise QgsProcessingException("the contour layer cannot be opened")
        arguments = []
        parts = QgsProviderRegistry.instance().decodeUri(layer.providerType(), layer.source())
        path = parts.get("path", "")
        if layer.providerType() == "ogr" and path and os.path.isfile(path):
            name = parts.get("layerName") or ""
            subset = layer.subsetString()
            if path.lower().endswith(".dxf"):
                # an old-style DXF is read by the program itself, unless a layer or filter asks for OGR
                if name or subset:
                    arguments.append("-ogr")
            if name:
                arguments += ["-l", name]
            if subset:
                arguments += ["-where", subset]
        else:
            path = os.path.join(tempfile.mkdtemp(prefix="zorvel_"), "contours.gpkg")
            options = QgsVectorFileWriter.SaveVectorOptions()
            options.driverName = "GPKG"
            options.layerName = "contours"
            written = QgsVectorFileWriter.writeAsVectorFormatV3(layer, path, context.transformContext(), options)
            if written[0] != QgsVectorFileWriter.NoError:
                raise QgsProcessingException(f"the contour layer cannot be written for the program: {written[1]}")
            feedback.pushInfo(f"{layer.name()} written to {path} for the program")
        return arguments, path, layer

    def grid_arguments(self, parameters, context, layer, classes=True):
        cell = self.parameterAsDouble(parameters, "CELL_SIZE", context)
        arguments = ["-tr", number_text(cell)]
        field = self.parameterAsString(parameters, "FIELD", context)
        if field:
            arguments += ["-a", field]
        if parameters.get("EXTENT") not in (None, ""):
            e = self.parameterAsExtent(parameters, "EXTENT", context, layer.crs())
            if not e.isNull():
                arguments += ["-te", number_text(e.xMinimum()), number_text(e.yMinimum()),
                              number_text(e.xMaximum()), number_text(e.yMaximum())]
        rotation = self.parameterAsDouble(parameters, "ROTATION", context)
        if rotation != 0.0:
            sense = self.parameterAsEnum(parameters, "SENSE", context)
            arguments += ["-rot", number_text(rotation), "-sense", "right" if sense == 1 else "left"]
        if classes:
            for name, option in (("INTERVAL", "-interval"), ("MINIMUM", "-min"), ("MAXIMUM", "-max")):
                if parameters.get(name) not in (None, ""):
                    arguments += [option, str(self.parameterAsInt(parameters, name, context))]
        return arguments

    def run_program(self, parameters, context, feedback, options, classes=True):
        source, path, layer = self.source_arguments(parameters, context, feedback)
        output = self.parameterAsOutputLayer(parameters, "OUTPUT", context)
        arguments = ["-q", "-progress", "--overwrite"] + self.grid_arguments(parameters, context, layer, classes)
        program.run(arguments + options + source + [path, output], feedback)
        return {"OUTPUT": output}


class ContoursToClasses(ZorvelAlgorithm):
    def name(self):
        return "contourstoclasses"

    def displayName(self):  # noqa: N802
        return "Contours to elevation classes"

    def shortHelpString(self):  # noqa: N802
        return ("A Byte raster of the cells the contours cross, each the class of its contour's elevation "
                "(the classes every interval from the lowest contour), 255 where no contour is; written with "
                "its QGIS style, the classes labelled by elevation.")

    def initAlgorithm(self, config=None):  # noqa: N802
        self.add_common()
        self.addParameter(QgsProcessingParameterRasterDestination("OUTPUT", "Elevation classes"))

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        return self.run_program(parameters, context, feedback, ["-ot", "Byte"])


class ContoursToElevations(ZorvelAlgorithm):
    def name(self):
        return "contourstoelevations"

    def displayName(self):  # noqa: N802
        return "Contours to elevations"

    def shortHelpString(self):  # noqa: N802
        return "A Float32 raster of the cells the contours cross, each its contour's elevation; -9999 elsewhere."

    def initAlgorithm(self, config=None):  # noqa: N802
        self.add_common(classes=False)
        self.addParameter(QgsProcessingParameterRasterDestination("OUTPUT", "Contour elevations"))

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        return self.run_program(parameters, context, feedback, ["-ot", "Float32"], classes=False)


class TerrainSurface(ZorvelAlgorithm):
    KINDS = ["Elevations (Float32)", "Elevation bands (Byte classes)"]

    def name(self):
        return "terrainsurface"

    def displayName(self):  # noqa: N802
        return "Terrain surface from contours"

    def shortHelpString(self):  # noqa: N802
        return ("Every cell gets an elevation from the contour lines around it (the program's -fill): the "
                "elevations themselves, or the elevation band each cell falls in, as classes with their style.")

    def initAlgorithm(self, config=None):  # noqa: N802
        self.add_common()
        self.addParameter(QgsProcessingParameterEnum("KIND", "Output", self.KINDS, defaultValue=0))
        self.addParameter(QgsProcessingParameterRasterDestination("OUTPUT", "Terrain surface"))

    def processAlgorithm(self, parameters, context, feedback):  # noqa: N802
        bands = self.parameterAsEnum(parameters, "KIND", context) == 1
        return self.run_program(parameters, context, feedback, ["-fill", "-ot", "Byte" if bands else "Float32"])
