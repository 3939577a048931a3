<?xml version="1.0" ?>
<!DOCTYPE PresetXMLTree>
<PresetXMLTree version="1">
    <!-- Hand-edited: <a><a><a><a><a><a><a><a><a><a><a><a><a><a><a><a><a><a><a><a> -->
    <PluginVendor>Quenlar</PluginVendor>
    <PluginName>ZANIQ</PluginName>
    <PluginVersion><![CDATA[v2.2.11 <a><a><a><a><a><a><a><a><a><a><a><a><a><a><a><a><a><a><a><a>]]></PluginVersion>
    <?editor note="<a <a <a <a <a <a <a <a <a <a <a <a <a <a <a <a <a <a"?>
    <Preset name="Corpus" note="a > b / c">
        <Parameter>
            <Param name="Reference Level" val="-10.000000" note='</Param></Parameter>' deep="<a><a><a><a><a><a><a><a><a><a><a><a><a><a><a><a><a><a>" />
        </Parameter>
    </Preset>
</PresetXMLTree>
