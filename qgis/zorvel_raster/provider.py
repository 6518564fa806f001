"""The Processing provider: its algorithms and its one setting, the program."""
from qgis.core import QgsProcessingProvider

from .algorithms import ContoursToClasses, ContoursToElevations, TerrainSurface
from . import program

try:  # the Processing plugin's settings, shown in its options
    from processing.core.ProcessingConfig import ProcessingConfig, Setting
except ImportError:  # pragma: no cover - QGIS without the Processing plugin
    ProcessingConfig = None


class ZorvelProvider(QgsProcessingProvider):
    def id(self):
        return "zorvel"

    def name(self):
        return "zorvel_raster"

    def longName(self):  # noqa: N802
        return "zorvel_raster: contour lines to rasters"

    def load(self):
        if ProcessingConfig is not None:
            ProcessingConfig.settingIcons[self.name()] = self.icon()
            ProcessingConfig.addSetting(
                Setting(self.name(), program.SETTING, "zorvel_raster program (empty: beside the plugin, then on PATH)",
                        "", valuetype=Setting.FILE))
            ProcessingConfig.readSettings()
        self.refreshAlgorithms()
        return True

    def unload(self):
        if ProcessingConfig is not None:
            ProcessingConfig.removeSetting(program.SETTING)

    def loadAlgorithms(self):  # noqa: N802
        for algorithm in (ContoursToClasses(), ContoursToElevations(), TerrainSurface()):
            self.addAlgorithm(algorithm)
