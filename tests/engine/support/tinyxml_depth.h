#pragma once

// The depth TinyXML really builds, the reference the nesting scan is held to (tests and the fuzz target).

#include <tinyxml.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace xmldepth
{

// The deepest element nesting of what TinyXML built from text (also when it stopped at an error: the nodes read
// until then stay linked), walked without recursion. The text sits in a buffer of its exact size, so that what
// TinyXML reads past its end through the C library (strchr) is caught by the sanitizers.
inline int TinyXMLDepth(const std::string& text, bool detect)
{
  const auto exact = std::make_unique<char[]>(text.size() + 1);
  std::memcpy(exact.get(), text.c_str(), text.size() + 1);
  TiXmlDocument doc;
  doc.Parse(exact.get(), nullptr, detect ? TIXML_ENCODING_UNKNOWN : TIXML_ENCODING_LEGACY);
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

} // namespace xmldepth
