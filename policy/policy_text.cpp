#include "policy/policy_text.h"

#include <climits>

#include "policy/store_text.h"

namespace quillon {

size_t FindChar(std::string_view text, char c, const CodePage& cp) {
  for (size_t i = 0; i < text.size();) {
    const size_t n = cp.CharLength(text, i);
    if (n == 1 && text[i] == c) return i;
    i += n;
  }
  return std::string_view::npos;
}

bool EndsWithChar(std::string_view text, char c, const CodePage& cp) {
  size_t last = std::string_view::npos;
  size_t last_length = 0;
  for (size_t i = 0; i < text.size(); i += last_length) {
    last = i;
    last_length = cp.CharLength(text, i);
  }
  return last != std::string_view::npos && last_length == 1 && text[last] == c;
}

std::string TrimCopy(std::string_view text, const CodePage& cp) {
  return std::string(TrimWhite(text, cp));
}

std::vector<std::string> SplitList(std::string_view text, char separator, const CodePage& cp) {
  std::vector<std::string> pieces;
  while (!text.empty()) {
    const size_t at = FindChar(text, separator, cp);
    pieces.push_back(TrimCopy(text.substr(0, at), cp));
    text = at == std::string_view::npos ? std::string_view() : text.substr(at + 1);
  }
  return pieces;
}

int IsInList(std::string_view list, std::string_view item, const CodePage& cp) {
  for (const std::string& element : SplitList(list, ',', cp)) {
    if (SameName(element, item, cp)) return 1;
  }
  return 0;
}

std::string BeforeChar(std::string_view text, char c, const CodePage& cp) {
  return TrimCopy(text.substr(0, FindChar(text, c, cp)), cp);
}

std::string AfterChar(std::string_view text, char c, const CodePage& cp) {
  const size_t at = FindChar(text, c, cp);
  return at == std::string_view::npos ? std::string() : TrimCopy(text.substr(at + 1), cp);
}

std::string MatchPrefixLine(const std::vector<std::string>& lines, std::wstring_view text,
                            char separator, const CodePage& cp, FolderForm folder_form) {
  for (const std::string& line : lines) {
    const size_t at = FindChar(line, separator, cp);
    if (at == std::string::npos) continue;
    std::wstring value = StoreToWide(TrimCopy(std::string_view(line).substr(at + 1), cp), cp);
    if (folder_form) value = folder_form(value);
    if (StartsWithName(text, value)) return line;
  }
  return {};
}

std::string MatchPrefixLine(const std::vector<std::string>& lines, std::string_view text,
                            char separator, const CodePage& cp) {
  return MatchPrefixLine(lines, StoreToWide(text, cp), separator, cp);
}

long ParseLeadingInt(std::string_view text) {
  text = TrimLeadingWhite(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  long long magnitude = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    // Stop growing once past the range; the clamp below gives the end of the range.
    if (magnitude <= LLONG_MAX / 100) magnitude = magnitude * 10 + (c - '0');
  }
  const long long value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<long>(value);
}

}  // namespace quillon
