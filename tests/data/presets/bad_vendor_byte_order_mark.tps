<?xml version="1.0" ?>
<PresetXMLTree version="1">
    <PluginVendor>﻿Quenlar</PluginVendor>
    <PluginName>ZANIQ</PluginName>
    <PluginVersion>v2.2.11</PluginVersion>
    <Preset name="Corpus">
        <Parameter>
            <Param name="Reference Level" val="-10.000000" />
        </Parameter>
    </Preset>
</PresetXMLTree>
