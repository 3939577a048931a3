<?xml version="1.0" encoding="windows-1252"?>
<?xml-stylesheet type="text/xsl" href="preset.xsl"?>
<PresetXMLTree version="1">
    <PluginVendor>Quenlar</PluginVendor>
    <PluginName>ZANIQ</PluginName>
    <PluginVersion>v2.2.11</PluginVersion>
    <Preset name="Corpus">
        <Parameter>
            <!-- réglage « très doux » -->
            <Param name="Reference Level" val="-10.000000" />
        </Parameter>
    </Preset>
</PresetXMLTree>
