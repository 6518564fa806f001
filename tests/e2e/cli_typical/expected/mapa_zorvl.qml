<!DOCTYPE qgis PUBLIC 'http://mrcc.com/qgis.dtd' 'SYSTEM'>
<qgis styleCategories="Symbology" version="3.22.0">
  <pipe>
    <rasterrenderer type="paletted" band="1" opacity="1" alphaBand="-1" nodataColor="">
      <colorPalette>
        <paletteEntry value="1" label="100 m" color="#246e38" alpha="255"/>
        <paletteEntry value="2" label="110 m" color="#46823e" alpha="255"/>
        <paletteEntry value="3" label="120 m" color="#679643" alpha="255"/>
        <paletteEntry value="4" label="130 m" color="#8ba74e" alpha="255"/>
        <paletteEntry value="5" label="140 m" color="#b0b65e" alpha="255"/>
        <paletteEntry value="6" label="150 m" color="#d6c46e" alpha="255"/>
        <paletteEntry value="7" label="160 m" color="#bc9e5a" alpha="255"/>
        <paletteEntry value="8" label="170 m" color="#a37746" alpha="255"/>
        <paletteEntry value="9" label="180 m" color="#a98161" alpha="255"/>
        <paletteEntry value="10" label="190 m" color="#cfbbab" alpha="255"/>
      </colorPalette>
    </rasterrenderer>
    <brightnesscontrast brightness="0" contrast="0" gamma="1"/>
    <huesaturation saturation="0" grayscaleMode="0" invertColors="0" colorizeOn="0" colorizeRed="255" colorizeGreen="128" colorizeBlue="128" colorizeStrength="100"/>
    <rasterresampler maxOversampling="2"/>
  </pipe>
  <blendMode>0</blendMode>
</qgis>
