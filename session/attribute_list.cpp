#include "session/attribute_list.h"

namespace quillon {

namespace {

constexpr std::string_view kBinary = "binary";

// Position of the first separator character at or after from, or npos.
size_t FindSeparator(std::string_view text, size_t from, char separator, const CodePage& cp) {
  for (size_t i = from; i < text.size(); i += cp.CharLength(text, i)) {
    if (text[i] == separator && cp.CharLength(text, i) == 1) return i;
  }
  return std::string_view::npos;
}

// Whether the character that ends just before pos is a single-byte backslash.
bool BackslashBefore(std::string_view text, size_t pos, const CodePage& cp) {
  size_t last = std::string_view::npos;
  for (size_t i = 0; i < pos; i += cp.CharLength(text, i)) last = i;
  return last != std::string_view::npos && last + 1 == pos && text[last] == '\\';
}

bool EndsWithCharacter(std::string_view text, char c, const CodePage& cp) {
  size_t last = std::string_view::npos;
  for (size_t i = 0; i < text.size(); i += cp.CharLength(text, i)) last = i;
  return last != std::string_view::npos && last + 1 == text.size() && text[last] == c;
}

bool StartsWithBinary(std::string_view text, const CodePage& cp) {
  return text.size() >= kBinary.size() && EqualsNoCase(text.substr(0, kBinary.size()), kBinary, cp);
}

// Takes the next element off rest: the text before the next unescaped separator, with
// escaped separators kept as ordinary characters. False when no separator follows (the
// remaining text is dropped).
bool TakeElement(std::string* rest, char separator, const CodePage& cp, std::string* element) {
  size_t pos = FindSeparator(*rest, 0, separator, cp);
  while (pos != std::string::npos && BackslashBefore(*rest, pos, cp)) {
    element->append(*rest, 0, pos - 1);
    element->push_back(separator);
    rest->erase(0, pos + 1);
    pos = FindSeparator(*rest, 0, separator, cp);
  }
  if (pos == std::string::npos) return false;
  element->append(*rest, 0, pos);
  rest->erase(0, pos + 1);
  return true;
}

}  // namespace

int SplitAttributeList(std::string_view text, char separator, std::string_view sort_name,
                       std::vector<std::string>* list, const CodePage& cp) {
  std::string rest(text);
  if (!EndsWithCharacter(rest, separator, cp)) rest.push_back(separator);
  int added = 0;
  while (!rest.empty()) {
    std::string raw;
    if (!TakeElement(&rest, separator, cp, &raw)) break;
    std::string element(TrimWhite(raw, cp));
    rest.erase(0, rest.size() - TrimLeadingWhite(rest).size());
    if (StartsWithBinary(rest, cp)) {
      element += ';';
      element.append(rest, 0, kBinary.size());
      rest.erase(0, kBinary.size() + 1);
    }
    if (element.empty()) continue;
    if (!sort_name.empty() && EqualsNoCase(element, sort_name, cp)) {
      list->insert(list->begin(), std::move(element));
    } else {
      list->push_back(std::move(element));
    }
    ++added;
  }
  return added;
}

}  // namespace quillon
