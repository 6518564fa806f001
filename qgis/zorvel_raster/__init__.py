"""The zorvel_raster plugin: a Processing provider that runs the program."""


def classFactory(iface):  # noqa: N802 (QGIS's name)
    from .plugin import ZorvelPlugin

    return ZorvelPlugin(iface)
