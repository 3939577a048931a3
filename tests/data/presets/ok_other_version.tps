<?xml version="1.0" ?>
<PresetXMLTree version="1">
    <PluginVendor>Quenlar</PluginVendor>
    <PluginName>ZANIQ</PluginName>
    <PluginVersion>v9.9.9</PluginVersion>
    <Preset name="Corpus">
        <Parameter>
            <Param name="Reference Level" val="-10.000000" />
            <Param name="Drive FX" val="4.500000" />
        </Parameter>
    </Preset>
</PresetXMLTree>
