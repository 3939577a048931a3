// The nesting scan that runs before TinyXML: what it counts as an element level, what it skips whole, what it
// refuses, and — against TinyXML itself — that a text it lets through never nests deeper in TinyXML's tree.

#include "engine/XMLNesting.h"

#include <gtest/gtest.h>

#include <tinyxml.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace
{

std::string Repeat(const std::string& s, int n)
{
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

int Measure(const std::string& text, bool utf8 = false) { return MeasureXMLNesting(text.c_str(), 64, utf8); }

// The deepest element nesting of what TinyXML built from text (also when it stopped at an error: the nodes read
// until then stay linked), walked without recursion.
int TinyXMLDepth(const std::string& text, bool utf8)
{
  TiXmlDocument doc;
  doc.Parse(text.c_str(), nullptr, utf8 ? TIXML_ENCODING_UNKNOWN : TIXML_ENCODING_LEGACY);
  int deepest = 0;
  std::vector<std::pair<const TiXmlNode*, int>> stack{{&doc, 0}};
  while (!stack.empty())
  {
    const auto [node, depth] = stack.back();
    stack.pop_back();
    deepest = std::max(deepest, depth);
    for (const TiXmlNode* child = node->FirstChild(); child; child = child->NextSibling())
      stack.emplace_back(child, depth + (child->ToElement() ? 1 : 0));
  }
  return deepest;
}

} // namespace

TEST(XMLNesting, StartEndAndEmptyTagsSetTheDepth)
{
  EXPECT_EQ(Measure(""), 0);
  EXPECT_EQ(Measure("plain text"), 0);
  EXPECT_EQ(Measure("<a/>"), 1); // an empty element is a level of its own
  EXPECT_EQ(Measure("<a x='1' /><b></b>"), 1);
  EXPECT_EQ(Measure("<a><b><c/></b><b></b></a>"), 3);
  EXPECT_EQ(Measure("<a><b></b></a><a><b><c></c></b></a>"), 3);
  EXPECT_EQ(Measure("<a>" + Repeat("<b>", 10) + Repeat("</b>", 10) + "</a>"), 11);
  // Unclosed elements keep counting; an end tag with nothing open is skipped, not counted below zero.
  EXPECT_EQ(Measure(Repeat("<a>", 5)), 5);
  EXPECT_EQ(Measure(Repeat("</a>", 5) + Repeat("<a>", 3)), 3);
  EXPECT_EQ(Measure("<_a><\xC3\xA9/><\x7F><b/></\x7F></_a>"), 3);

  // The product's own document: four levels.
  const std::string preset = "<?xml version=\"1.0\" ?>\n<PresetXMLTree version=\"1\">\n"
                             "    <PluginVendor>Quenlar</PluginVendor>\n    <Preset name=\"a/b > c\">\n"
                             "        <Parameter>\n            <Param name=\"x\" val=\"1.000000\" />\n"
                             "        </Parameter>\n    </Preset>\n</PresetXMLTree>\n";
  EXPECT_EQ(Measure(preset), 4);
  EXPECT_EQ(Measure(preset, true), 4);
}

TEST(XMLNesting, MarkupInsideCommentsCDataInstructionsAndValuesIsNotCounted)
{
  const std::string deep = Repeat("<a>", 40), closes = Repeat("</a>", 40);
  EXPECT_EQ(Measure("<r><!-- " + deep + " --></r>"), 1);
  EXPECT_EQ(Measure("<r><!-- " + closes + " --><b/></r>"), 2);
  EXPECT_EQ(Measure("<r><![CDATA[" + deep + "]]></r>"), 1);
  EXPECT_EQ(Measure("<r><x><![CDATA[" + closes + "]]><y/></x></r>"), 3);
  EXPECT_EQ(Measure("<r v=\"" + deep + "\" w='>/' z=\"/\"><s a='" + closes + "'/></r>"), 2);
  EXPECT_EQ(Measure("<r v=\"" + closes + "\"><s><t/></s></r>"), 3);
  // Instructions and DOCTYPE end at their first '>', as TinyXML reads them.
  EXPECT_EQ(Measure("<?editor note ?><r/>"), 1);
  EXPECT_EQ(Measure("<!DOCTYPE r><r><b/></r>"), 2);
  EXPECT_EQ(Measure("<r><?pi </r>?><a><b/></a></r>"), 3);              // "</r" belongs to the instruction
  EXPECT_EQ(Measure("<r><!DOCTYPE x [<!ENTITY e 'v'>]><a/></r>"), 2);  // ends at the entity's '>'
  EXPECT_EQ(Measure("<r><1 v=\"</r>\"><a><b/></a></r>"), 3);           // not an element: ends at its first '>'
  EXPECT_EQ(Measure("<r><![cdata[<a><b>]]></r>"), 2); // the marker is case-sensitive: "<![cdata[<a>" is skipped
  // The plain declaration, in any case, with either quote.
  EXPECT_EQ(Measure("<?xml version=\"1.0\" encoding='UTF-8' standalone=\"yes\"?><r><a/></r>"), 2);
  EXPECT_EQ(Measure("<?XML version = '1.0' ?><r/>"), 1);
  EXPECT_EQ(Measure("<?xml?><r/>"), 1);
}

TEST(XMLNesting, TheLimitStopsTheScanAndUnboundableTextsAreRefused)
{
  EXPECT_EQ(MeasureXMLNesting(Repeat("<a>", 16).c_str(), 16, false), 16);
  EXPECT_EQ(MeasureXMLNesting(Repeat("<a>", 17).c_str(), 16, false), 17);
  EXPECT_EQ(MeasureXMLNesting(Repeat("<a>", 100000).c_str(), 16, false), 17);
  EXPECT_EQ(MeasureXMLNesting((Repeat("<a>", 16) + Repeat("</a>", 16)).c_str(), kMaxPresetXMLDepth, true), 16);
  EXPECT_EQ(MeasureXMLNesting((Repeat("<a>", 17) + Repeat("</a>", 17)).c_str(), kMaxPresetXMLDepth, true), 17);
  EXPECT_EQ(MeasureXMLNesting(nullptr, kMaxPresetXMLDepth, false), -1);

  for (const char* text : {"<!-- open", "<![CDATA[ open", "<r", "<r a='>", "</r", "<?pi", "<!DOCTYPE", "<?xml",
                           "<?xml version=\"1.0\"", "<?xmlversion=\"1\"?>", "<?xml version=\"a>b\"?>",
                           "<?xml foo=\"1\"?>", "<?xml VERSION=\"1\"?>", "<?xml version=\"1\"standalone='no'?>",
                           "<?xml version=1?>", "<?xml version=\"\xC3\xA9\"?>"})
    EXPECT_EQ(Measure(text), -1) << text;

  // As UTF-8, a lead byte must be followed by the continuation bytes it announces; as legacy bytes anything goes.
  for (const char* text : {"<r>\xE0</r>", "<r>\xC3", "<r v='\xF0\x9F\x98'/>", "\xE0\x80<r/>"})
  {
    EXPECT_EQ(Measure(text, true), -1) << text;
    EXPECT_GE(Measure(text, false), 0) << text;
  }
  EXPECT_EQ(Measure("<r>\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80</r>", true), 1);
}

// Random texts built from pieces that tempt a scan into miscounting. Whatever TinyXML makes of a text the scan
// lets through, its tree is never deeper than the scan said; for texts of plain elements the two agree exactly.
TEST(XMLNesting, NeverBelowTheDepthTinyXMLBuilds)
{
  const std::vector<std::string> pieces = {
    "<a>", "<a>", "<a>", "</a>", "</a>", "<b/>", "<a x=\"</a>\">", "<a x='>'>", "<a x=\"/\">", "<a/ >", "<a x=/>",
    "<!-- </a> -->", "<!-- <a> -->", "<![CDATA[</a>]]>", "<![CDATA[<a>]]>", "<?xml version=\"1.0\"?>",
    "<?xml version=\"</a>\"?>", "<?xml x=\"</a>\"?>", "<?XML version='1'?>", "<?xml a\"b version=\"x>",
    "<?pi </a> ?>", "<!DOCTYPE a [<!ENTITY e \"</a>\">]>", "<1 x=\"</a>\">", "<_a>", "\xE0</a>", "\xC3\xA9",
    "\xF0\x9F\x98\x80", "\xE0", "text", " ", "\"", "'", ">", "/", "<", "&#x3c;", "&lt;", "<!--", "-->", "]]>",
    "<![CDATA[", "<?xml ", "version=\"", "=", "<a", "</", "<a b='", "<!", "<?"};
  std::mt19937 rng(20240611);
  int checked = 0, allowed = 0;
  for (int round = 0; round < 20000; ++round)
  {
    std::string text;
    const int n = 1 + int(rng() % 40);
    for (int i = 0; i < n; ++i) text += pieces[rng() % pieces.size()];
    for (bool utf8 : {false, true})
    {
      const int scanned = MeasureXMLNesting(text.c_str(), 64, utf8);
      ++checked;
      if (scanned < 0) continue;
      ++allowed;
      ASSERT_LE(TinyXMLDepth(text, utf8), scanned) << (utf8 ? "utf8: " : "legacy: ") << text;
    }
  }
  EXPECT_GT(allowed, checked / 10);

  for (int round = 0; round < 2000; ++round)
  {
    std::string text = "<r>";
    int open = 1;
    for (int i = 0; i < 60; ++i)
    {
      const unsigned pick = rng() % 4;
      if (pick == 0 && open > 1)
      {
        text += "</a>";
        --open;
      }
      else if (pick == 1)
      {
        text += "<e v='x/>'/>";
      }
      else
      {
        text += "<a k=\"</a>\">";
        ++open;
      }
    }
    for (; open > 1; --open) text += "</a>";
    text += "</r>";
    ASSERT_EQ(Measure(text, true), TinyXMLDepth(text, true)) << text;
  }
}
