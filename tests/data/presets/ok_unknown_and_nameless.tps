<?xml version="1.0" ?>
<PresetXMLTree version="1">
    <PluginVendor>Quenlar</PluginVendor>
    <PluginName>ZANIQ</PluginName>
    <PluginVersion>v2.2.11</PluginVersion>
    <Preset name="Corpus">
        <Parameter>
            <Param name="No Such Parameter" val="1.000000" />
            <Param val="3.000000" />
            <Param name="" val="2.0" />
            <Param name="Reference Level" val="-10.000000" />
        </Parameter>
    </Preset>
</PresetXMLTree>
