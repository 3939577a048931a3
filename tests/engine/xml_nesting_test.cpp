// The nesting scan that runs before TinyXML: what it counts as an element level, what it skips whole, what it
// refuses, which reading of the bytes it follows, and — against TinyXML itself — that a text it lets through
// never nests deeper in TinyXML's tree; also that every preset name the printer writes passes and reads back.

#include "engine/XMLNesting.h"
#include "support/tinyxml_depth.h"
#include "engine/XMLPresets.h"

#include <gtest/gtest.h>

#include <tinyxml.h>

#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace
{

using xmldepth::TinyXMLDepth;

std::string Repeat(const std::string& s, int n)
{
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

// detect: read as state chunks are (the encoding detected), else byte by byte as preset files are.
int Measure(const std::string& text, bool detect = false) { return MeasureXMLNesting(text.c_str(), 64, detect); }

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
  // A tag may hold kMaxPresetXMLAttributes '=' outside its quoted values, ended or not.
  const std::string full = "<r" + Repeat(" a='='", kMaxPresetXMLAttributes);
  const std::pair<std::string, int> tags[] = {{full + "><s b=c/></r>", 2}, {full + " b=c/>", -1}, {full + " b=", -1}};
  for (const auto& [text, depth] : tags)
    EXPECT_TRUE(Measure(text) == depth && Measure(text, true) == depth) << text;

  // Declarations whose end TinyXML might place after their first '>': a quote that follows no '=' or closes
  // after it, a value that is not plain ASCII or holds a reference, or a blank in a value before a name TinyXML
  // may take for an attribute of its own (it resumes there after skipping an unknown one).
  for (const char* text : {"<?xml version=\"a>b\"?>", "<?xml a\"b version=\"x></u>\" ?>", "<?xml 'v'?>",
                           "<?xml version=\"1\"\"?>", "<?xml version=\"\xC3\xA9\"?>", "<?xml version=\"&#x31;\"?>",
                           "<?xml a=\"b version=\"x>\"?>", "<?xml-stylesheet title=\"a ENCODING\"?>"})
  {
    EXPECT_EQ(Measure(text), -1) << text;
    EXPECT_EQ(Measure(text, true), -1) << text;
  }

  // A construct that never ends runs to the end of the text in TinyXML too, which parses nothing after it: the
  // scan stops there (an element counts from its '<', as TinyXML keeps it).
  const std::pair<const char*, int> unended[] = {
    {"<!-- open", 0}, {"<r><!-- <a><a>", 1}, {"<r><![CDATA[ <a><a>", 1}, {"<r", 1},       {"<r><a b='><c>", 2},
    {"<r></r", 1},    {"<r><?pi", 1},         {"<!DOCTYPE", 0},          {"<?xml", 0}, {"<?xml version=\"1.0\"", 0}};
  for (const auto& [text, depth] : unended)
  {
    EXPECT_EQ(Measure(text), depth) << text;
    EXPECT_EQ(Measure(text, true), depth) << text;
  }
  // Unless, reading UTF-8, a lead byte in a declaration's value takes in the end of the text: TinyXML then reads
  // on past it, and finds whatever follows in memory.
  for (const char* text : {"<?xml version=\"1.0\"?><?xml encoding='caf\xE9", "\xEF\xBB\xBF<?xml v='\xE0'"})
  {
    EXPECT_EQ(Measure(text, true), -1) << text;
    EXPECT_EQ(Measure(text, false), 0) << text;
  }

  // As UTF-8 a lead byte takes the bytes it announces whatever they are: it must not take in the '<' ending
  // text, the quote ending a value or the end of the text. Byte by byte anything goes.
  const std::string utf8 = "<?xml version=\"1.0\"?>";
  for (const char* text : {"<r>\xE0</r>", "<r>\xC3", "<r v='\xF0\x9F\x98'/>", "<r v=\"caf\xE9\"/>", "<r>\xF4\x80<a/></r>"})
  {
    EXPECT_EQ(Measure(utf8 + text, true), -1) << text;
    EXPECT_GE(Measure(utf8 + text, false), 0) << text;
  }
  // Whatever else they take in is read as TinyXML reads it, so a lead byte before a letter, a quote of the other
  // kind or a reference passes, and so do bytes TinyXML reads alone (0xC0, 0xC1, from 0xF5, continuation bytes).
  EXPECT_EQ(Measure(utf8 + "<r>\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80</r>", true), 1);
  for (const char* text : {"<r v=\"Gr\xF6\xDF" "e\"/>", "<r v=\"\xE9'x\"/>", "<r>\xC3&amp;\xE0&lt;</r>",
                           "<r>\xC0<a/>\xF5<a/>\xFF<a/>\x80</r>", "<r><!-- caf\xE9--></r>", "<r><![CDATA[\xE0]]></r>"})
  {
    const std::string doc = utf8 + text;
    EXPECT_GT(Measure(doc, true), 0) << text;
    EXPECT_LE(TinyXMLDepth(doc, true), Measure(doc, true)) << text;
  }
}

// TinyXML reads "&#x...;" up to the next ';' anywhere in the text and takes the digits backwards from there to the
// nearest 'x': "&#x</a>x;" is one reference holding an end tag. Taking one in closes nothing, so the elements
// around it nest without end.
TEST(XMLNesting, ReferencesThatTakeInMarkupAreRefused)
{
  const std::string swallowed = Repeat("<a>&#x</a>x;", 1000);
  EXPECT_GT(TinyXMLDepth(Repeat("<a>&#x</a>x;", 40), false), 16);
  for (bool detect : {false, true})
  {
    EXPECT_EQ(Measure(swallowed, detect), -1);
    EXPECT_EQ(Measure("<r>&#</r><a>#;</a></r>", detect), -1);
    EXPECT_EQ(Measure("<r v='&#x'x;'/>", detect), -1); // the quote that ends the value
    // References that end before the markup, or that TinyXML cannot read at all (where it stops parsing).
    EXPECT_EQ(Measure("<r v='&#x3C;&#60;&quot;'>&#x41;&#;&amp;&lt;&#x;<a/>&</r>", detect), 2);
    EXPECT_EQ(Measure("<r>&#xZ;" + Repeat("<a>", 40), detect), 1);
    EXPECT_EQ(Measure("<r>&#12" + Repeat("<a>", 40), detect), 1);
  }
}

// State chunks are read byte by byte until the first declaration outside the root, then as UTF-8 unless it names
// another encoding; a byte-order mark means UTF-8 from the start. A value whose Latin-1 lead byte takes in its
// closing quote shows which reading the scan follows.
TEST(XMLNesting, TheFirstDeclarationOutsideTheRootDecidesHowStatesAreRead)
{
  const std::string latin1 = "<r v=\"caf\xE9\"><a/></r>";
  const std::pair<std::string, bool> cases[] = {
    {"", false},
    {"<?xml version=\"1.0\" ?>", true},
    {"<?xml version=\"1.0\" encoding=\"\"?>", true},
    {"<?xml version='1.0' encoding='utf-8'?>", true},
    {"<?XML ENCODING = \"UTF8\"?>", true}, // 'I' need not match 'i' (Turkish), but UTF-8 either way
    {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>", false},
    {"<?xml version=\"1.0\" encoding=\"windows-1252\"?>", false},
    {"<?xml encoding=\"latin1\" encodingx='ISO-8859-1'?>", false}, // TinyXML takes any name it starts
    {"<?xml encoding=\"UTF-8\" encodingx='latin1'?>", true},  // encodings that disagree: both readings
    {"<?xml encoding='ascii' ENCODING='ascii'?>", true},         // one it may or may not match: both readings
    {"<?xml encod\xDDng='ascii'?>", true},                       // 0xDD lowers to 'i' in Turkish
    {"<?xml encoding='latin1'\xA0?>", true},                     // a byte some locale takes for a blank
    {"<?x\xCDl encoding='latin1'?>", true},                      // a declaration in some locale, or not
    {"<?xml encoding=ascii?>", true},                             // unquoted: both readings
    {"<?xml encoding='ascii' foo=bar?>", true},
    // TinyXML skips an unknown attribute up to the next blank, so it never sees an encoding glued to its value,
    // but reads one glued to a known attribute's value: a glued value leaves both readings.
    {"<?xml version=\"1.0\" foo=\"x\"encoding=\"latin1\"?>", true},
    {"<?xml encoding=\"UTF-8\" x=\"1\"encoding=\"latin1\"?>", true},
    {"<?xml version=\"1.0\"encoding=\"latin1\"?>", true},
    {"<?xml foo=\"x\" encoding=\"latin1\"?>", false},
    {"<?xmlencoding='latin1'?>", false},
    {"<?xml-stylesheet encoding='latin1'?>", false},
    {"<?pi encoding='latin1'?>", false}, // not a declaration: nothing decided
    {"<?xml-stylesheet type=\"text/xsl\" href=\"p.xsl\"?><?xml encoding=\"ISO-8859-1\"?>", true}, // the first
    {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><?xml encoding=\"UTF-8\"?>", false},
    {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", true},
    {"\xEF\xBB\xBF", true},
  };
  for (const auto& [prolog, asUTF8] : cases)
  {
    const std::string text = prolog + latin1;
    EXPECT_EQ(Measure(text, true), asUTF8 ? -1 : 2) << prolog;
    EXPECT_EQ(Measure(text, false), 2) << prolog;
    if (!asUTF8)
    {
      EXPECT_EQ(TinyXMLDepth(text, true), 2) << prolog;
    }
  }
  // TinyXML never sees these glued encodings and reads UTF-8: the lead byte in each text takes in the end tag
  // after it, so every unit nests one level deeper, though the markup shows a depth of one.
  const std::string unit = "<a\xE3>\xE3" "b</a>";
  for (const char* prolog : {"<?xml version=\"1.0\" foo=\"x\"encoding=\"latin1\"?>",
                             "<?xml encoding=\"UTF-8\" x=\"1\"encoding=\"latin1\"?>"})
  {
    EXPECT_EQ(TinyXMLDepth(prolog + Repeat(unit, 40), true), 40) << prolog;
    EXPECT_EQ(Measure(prolog + Repeat(unit, 600), true), -1) << prolog;
    PresetXMLTree tree;
    EXPECT_EQ(tree.Parse((prolog + Repeat(unit, 600)).c_str(), false), PresetXMLTree::EParse::kNotXML) << prolog;
  }
  // A declaration inside the root decides nothing.
  EXPECT_EQ(Measure("<r><?xml version=\"1.0\"?><a v=\"caf\xE9\"/></r>", true), 2);
  // Hand-made prologs that pass: any declaration of the plain form, with unknown attributes, in any case.
  for (const char* prolog :
       {"<?xml-stylesheet type=\"text/xsl\" href=\"my preset.xsl\"?>", "<?xmlversion=\"1\"?>", "<?xml foo=\"1\"?>",
        "<?xml VERSION=\"1\"?>", "<?xml version=\"1\"standalone='no'?>", "<?xml version=1?>", "<?xml ?>"})
  {
    const std::string text = std::string(prolog) + "\n<r><a/></r>";
    EXPECT_EQ(Measure(text, true), 2) << prolog;
    EXPECT_EQ(Measure(text, false), 2) << prolog;
  }
}

// Every preset name the printer writes, whatever its bytes, passes the scan and comes back as it was: names that
// TinyXML would not read back as UTF-8 are written under a single-byte declaration.
TEST(XMLNesting, EveryPresetNameThePrinterWritesReadsBack)
{
  std::mt19937 rng(4711);
  std::vector<std::string> names = {"Gr\xF6\xDF" "e", "Caf\xE9", "\xC3&", "\xD6&\xC4", "Gr\xC3\xB6\xC3\x9F" "e",
                                    std::string(254, 'a') + "\xC3", "\xF0\x9F\x98\x80 \xE2\x82\xAC", "a\"b'<c>&#x",
                                    "\x01\x7F\x80\xFF"};
  for (int round = 0; round < 3000; ++round)
  {
    std::string name(1 + rng() % 12, ' ');
    for (char& c : name) c = char(1 + rng() % 255);
    names.push_back(name);
  }
  int declared = 0;
  for (const std::string& name : names)
  {
    PresetXMLTree tree;
    tree.vendor = "Quenlar";
    tree.pluginName = "ZANIQ";
    tree.version = "v2.2.11";
    tree.presetName = name;
    tree.params = {{"Reference Level", -30.0}};
    const std::string text = tree.Print();
    if (text.find("encoding=\"ISO-8859-1\"") != std::string::npos) ++declared;
    ASSERT_EQ(Measure(text, true), 4) << text;
    PresetXMLTree back;
    ASSERT_EQ(back.Parse(text.c_str(), false), PresetXMLTree::EParse::kOK) << text;
    ASSERT_EQ(back.presetName, name) << text;
    // ... and so do preset files, read byte by byte.
    ASSERT_EQ(back.Parse(text.c_str(), true), PresetXMLTree::EParse::kOK) << text;
    ASSERT_EQ(back.presetName, name) << text;
  }
  EXPECT_TRUE(declared > 100 && declared < int(names.size()) - 100) << declared;
  EXPECT_TRUE(ReadsBackAsUTF8("<r v=\"Gr\xF6\xDF" "e\">\xC3\xA9</r>"));
  EXPECT_FALSE(ReadsBackAsUTF8("<r v=\"Caf\xE9\"/>"));
  EXPECT_FALSE(ReadsBackAsUTF8("<r>\xC3&amp;</r>"));
  EXPECT_FALSE(ReadsBackAsUTF8("\xF0\x9F"));
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
    "<![CDATA[", "<?xml ", "version=\"", "=", "<a", "</", "<a b='", "<!", "<?",
    // References, Latin-1 and other bytes that are not UTF-8, and the declarations that choose the reading.
    "&#x", "&#", "x;", "#;", ";", "&", "&amp;", "&#x41;", "\xE9", "\xF6\xDF", "\xC3", "\xF4", "\xEF\xBB\xBF", "\xDD",
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", "<?xml encoding='utf-8'?>", "<?xml ENCODING=\"x\"?>",
    "<?xml-stylesheet href=\"a b\"?>", "<?xml encoding=", "<a v=\"", "\"/>", "'>"};
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

  // Elements at most four deep with references and bytes that are not UTF-8 between the tags and in values: a
  // reading that takes in an end tag leaves TinyXML deeper than the markup shows.
  const char* const between[] = {"&#x", "&#", "x;", "#;", ";", "&amp;", "&#x41;", "\xE0", "\xC3", "\xF0", "a", " ", "'"};
  int deeper = 0;
  for (int round = 0; round < 4000; ++round)
  {
    std::string text = round % 2 ? "<?xml version=\"1.0\"?>" : "";
    text += "<r>";
    int open = 1;
    for (int i = 0; i < 30; ++i)
    {
      for (unsigned k = rng() % 3; k > 0; --k) text += between[rng() % std::size(between)];
      if (rng() % 2 && open > 1)
      {
        text += "</a>";
        --open;
      }
      else if (open < 4)
      {
        text += std::string("<a v='") + between[rng() % std::size(between)] + "'>";
        ++open;
      }
    }
    for (; open > 0; --open) text += open > 1 ? "</a>" : "</r>";
    for (bool detect : {false, true})
    {
      const int scanned = MeasureXMLNesting(text.c_str(), 64, detect), real = TinyXMLDepth(text, detect);
      if (real > 4) ++deeper;
      ASSERT_TRUE(scanned < 0 || real <= scanned) << (detect ? "detected: " : "legacy: ") << scanned << " " << text;
    }
  }
  EXPECT_GT(deeper, 0); // the readings that take in markup do turn up

  // Documents as the product and hand-editing make them, with random bytes — most of them not UTF-8 — in the
  // preset name, a comment and text, under each kind of prolog. Every one TinyXML reads in full is let through
  // at its real depth unless TinyXML reads it as UTF-8 and a lead byte takes in markup.
  const char* const prologs[] = {"", "<?xml version=\"1.0\" ?>\n", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n",
                                 "<?xml version=\"1.0\" encoding=\"windows-1252\"?>\n<?xml-stylesheet href=\"p.xsl\"?>\n",
                                 "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n"};
  const auto randomBytes = [&](size_t n) {
    std::string bytes(n, ' ');
    for (char& c : bytes)
    {
      const unsigned r = rng() % 4;
      c = r == 0 ? char('a' + rng() % 26) : r == 1 ? " &<\"'>;#x"[rng() % 10] : char(0x80 + rng() % 128);
    }
    return bytes;
  };
  int readInFull = 0, passed = 0;
  for (int round = 0; round < 4000; ++round)
  {
    const std::string text = std::string(prologs[rng() % std::size(prologs)]) + "<PresetXMLTree version=\"1\">\n<!-- " +
                             randomBytes(rng() % 6) + " -->\n<PluginVersion>" + randomBytes(rng() % 6) +
                             "</PluginVersion>\n<Preset name=\"" + randomBytes(rng() % 6) +
                             "\">\n<Parameter><Param name=\"x\" val=\"1\"/></Parameter>\n</Preset>\n</PresetXMLTree>\n";
    for (bool detect : {false, true})
    {
      const int scanned = MeasureXMLNesting(text.c_str(), 64, detect);
      if (scanned < 0) continue;
      ++passed;
      const int real = TinyXMLDepth(text, detect);
      ASSERT_LE(real, scanned) << (detect ? "detected: " : "legacy: ") << text;
      if (real == 4) ++readInFull;
    }
  }
  EXPECT_GT(readInFull, 2000);
  EXPECT_GT(passed, 5000);

  // Prologs as hands and hostile hosts write them — unknown attributes, values glued to the next name, repeated,
  // unquoted and differently cased encodings, instructions — before bodies whose depth depends on the reading:
  // read as UTF-8, the lead byte in "<a\xE3>\xE3b</a>" takes in the end tag after it.
  const char* const targets[] = {"<?xml", "<?XML", "<?xml-stylesheet", "<?xmlfoo", "<?pi", "<?xm\xCC"};
  const char* const attributes[] = {"version=\"1.0\"", "encoding=\"latin1\"", "encoding='UTF-8'", "encoding=\"\"",
                                    "ENCODING=\"ISO-8859-1\"", "Encoding='utf8'", "encodingx='latin1'", "foo=\"x\"",
                                    "x='1'", "standalone='no'", "a=\"b c\"", "encoding=latin1", "foo=bar",
                                    "v = 'w'", "v='caf\xE9'", "encoding", "=", "\"", "\xA0", "/"};
  const char* const separators[] = {" ", " ", "", "\n", "  "};
  const char* const units[] = {("<a\xE3>\xE3" "b</a>"), "<a v='\xC3'>x</a>", "<a>\xE0</a>", "<a>caf\xE9</a>", "<b/>",
                               "<a>\xC3\xA9</a>", "<a>x</a>"};
  int prologsPassed = 0, readingMatters = 0;
  for (int round = 0; round < 8000; ++round)
  {
    std::string text;
    for (unsigned k = 1 + rng() % 2; k > 0; --k)
    {
      text += targets[rng() % std::size(targets)];
      for (unsigned a = rng() % 5; a > 0; --a)
        text += std::string(separators[rng() % std::size(separators)]) + attributes[rng() % std::size(attributes)];
      text += rng() % 4 ? "?>" : ">";
      if (rng() % 2) text += "\n";
    }
    const bool rooted = rng() % 2;
    if (rooted) text += "<r>";
    for (unsigned n = 2 + rng() % 8; n > 0; --n) text += units[rng() % std::size(units)];
    if (rooted) text += "</r>";
    // Some end anywhere, also inside a declaration.
    const bool cut = round % 8 == 0;
    if (cut) text.resize(rng() % text.size());

    if (!cut && TinyXMLDepth(text, true) != TinyXMLDepth(text, false)) ++readingMatters;
    for (bool detect : {false, true})
    {
      const int scanned = MeasureXMLNesting(text.c_str(), 64, detect);
      if (scanned < 0) continue;
      if (detect) ++prologsPassed;
      ASSERT_LE(TinyXMLDepth(text, detect), scanned) << (detect ? "detected: " : "legacy: ") << text;
    }
  }
  EXPECT_GT(readingMatters, 1000);
  EXPECT_GT(prologsPassed, 1000);
}
