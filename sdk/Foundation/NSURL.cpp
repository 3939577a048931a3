// Foundation stand-in: NSURL (file URLs and parsed URL text).

#include <Foundation/Foundation.h>

#include <cctype>
#include <climits>
#include <unistd.h>

namespace
{

bool Unreserved(unsigned char c)
{
  return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/' || c == '!' || c == '$' ||
         c == '&' || c == '\'' || c == '(' || c == ')' || c == '*' || c == '+' || c == ',' || c == ';' || c == '=' ||
         c == ':' || c == '@';
}

std::string PercentEncodePath(const std::string& path)
{
  static const char* kHex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path)
  {
    if (Unreserved(c))
      out.push_back(static_cast<char>(c));
    else
    {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 15]);
    }
  }
  return out;
}

int HexValue(char c)
{
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecode(const std::string& s)
{
  std::string out;
  for (size_t i = 0; i < s.size(); ++i)
  {
    if (s[i] == '%')
    {
      const int hi = i + 1 < s.size() ? HexValue(s[i + 1]) : -1;
      const int lo = i + 2 < s.size() ? HexValue(s[i + 2]) : -1;
      if (hi >= 0 && lo >= 0)
      {
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        continue;
      }
    }
    out.push_back(s[i]);
  }
  return out;
}

// Characters a URL text may not hold unescaped.
bool Forbidden(unsigned char c)
{
  return c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' || c == '`' ||
         c == '{' || c == '|' || c == '}';
}

// Length of a scheme at the start of text (before ':'), 0 when none.
size_t SchemeLength(const std::string& t)
{
  if (t.empty() || !std::isalpha(static_cast<unsigned char>(t[0]))) return 0;
  size_t i = 1;
  while (i < t.size() && (std::isalnum(static_cast<unsigned char>(t[i])) || t[i] == '+' || t[i] == '.' || t[i] == '-'))
    ++i;
  return i < t.size() && t[i] == ':' ? i : 0;
}

std::string Lower(std::string s)
{
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

} // namespace

NSURL* NSURL::fileURLWithPath(const NSString* path)
{
  if (!path || !*path->UTF8String()) return nullptr;
  std::string p = path->UTF8String();
  if (p[0] != '/')
  {
    char cwd[PATH_MAX];
    if (getcwd(cwd, sizeof cwd)) p = std::string(cwd) + (std::string(cwd) == "/" ? "" : "/") + p;
  }
  auto* url = new NSURL();
  url->mIsFile = true;
  url->mPath = p;
  while (url->mPath.size() > 1 && url->mPath.back() == '/') url->mPath.pop_back();
  url->mText = "file://" + PercentEncodePath(p);
  return static_cast<NSURL*>(url->autorelease());
}

NSURL* NSURL::URLWithString(const NSString* text)
{
  if (!text || !*text->UTF8String()) return nullptr;
  const std::string t = text->UTF8String();
  for (unsigned char c : t)
    if (Forbidden(c)) return nullptr;
  auto* url = new NSURL();
  url->mText = t;
  const size_t schemeLen = SchemeLength(t);
  const std::string scheme = Lower(t.substr(0, schemeLen));
  std::string rest = schemeLen ? t.substr(schemeLen + 1) : t;
  if (rest.compare(0, 2, "//") == 0)
  {
    const size_t slash = rest.find('/', 2);
    rest = slash == std::string::npos ? std::string() : rest.substr(slash);
  }
  const size_t cut = rest.find_first_of("?#");
  if (cut != std::string::npos) rest.resize(cut);
  url->mPath = PercentDecode(rest);
  while (url->mPath.size() > 1 && url->mPath.back() == '/') url->mPath.pop_back();
  url->mIsFile = scheme == "file";
  return static_cast<NSURL*>(url->autorelease());
}

NSString* NSURL::absoluteString() const
{
  return NSString::stringWithUTF8String(mText.c_str());
}

NSString* NSURL::scheme() const
{
  const size_t n = SchemeLength(mText);
  return NSString::stringWithUTF8String(Lower(mText.substr(0, n)).c_str());
}

NSString* NSURL::path() const
{
  NSString* p = NSString::stringWithUTF8String(mPath.c_str());
  return p ? p : NSString::stringWithCString_encoding(mPath.c_str(), NSISOLatin1StringEncoding);
}

CFURLRef NSURL::copyCFURL() const
{
  if (!mIsFile) return nullptr;
  return CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(mPath.c_str()),
                                                 static_cast<CFIndex>(mPath.size()), false);
}
