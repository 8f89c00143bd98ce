#include "tools/pagehost/text_coding.h"

#include <cctype>

#include "tools/pagehost/site_path.h"

namespace pagehost {

namespace {

void AppendEscape(std::string* out, unsigned char c) {
  static const char kHex[] = "0123456789ABCDEF";
  *out += '%';
  *out += kHex[c >> 4];
  *out += kHex[c & 15];
}

template <class Text>
Text HtmlEncodeText(const Text& text) {
  Text out;
  for (auto c : text) {
    switch (c) {
      case '<':
        out += {'&', 'l', 't', ';'};
        break;
      case '>':
        out += {'&', 'g', 't', ';'};
        break;
      case '&':
        out += {'&', 'a', 'm', 'p', ';'};
        break;
      case '"':
        out += {'&', 'q', 'u', 'o', 't', ';'};
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string UrlEncode(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (isalnum(c) && c < 0x80) {
      out += static_cast<char>(c);
    } else if (c == ' ') {
      out += '+';
    } else {
      AppendEscape(&out, c);
    }
  }
  return out;
}

std::string UrlPathEncode(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c <= 0x20 || c >= 0x7f || c == '"' || c == '<' || c == '>') {
      AppendEscape(&out, c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string UrlDecode(const std::string& encoded) {
  std::string out;
  return PercentDecode(encoded, true, &out) ? out : encoded;
}

std::string HtmlEncode(const std::string& text) {
  return HtmlEncodeText(text);
}
std::wstring HtmlEncode(const std::wstring& text) {
  return HtmlEncodeText(text);
}

}  // namespace pagehost
