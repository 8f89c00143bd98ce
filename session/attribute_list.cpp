#include "session/attribute_list.h"

#include <iterator>

namespace quillon {

namespace {

constexpr std::string_view kBinary = "binary";

bool EndsWithCharacter(std::string_view text, char c, const CodePage& cp) {
  size_t last = std::string_view::npos;
  for (size_t i = 0; i < text.size(); i += cp.CharLength(text, i)) last = i;
  return last != std::string_view::npos && last + 1 == text.size() && text[last] == c;
}

bool StartsWithBinary(std::string_view text) {
  // "binary" is ASCII: a lead byte never equals one of its letters, so comparing bytes
  // never looks into a double-byte character.
  if (text.size() < kBinary.size()) return false;
  for (size_t i = 0; i < kBinary.size(); ++i) {
    if ((text[i] | 0x20) != kBinary[i]) return false;
  }
  return true;
}

// Takes the next element off text at *pos: the text before the next unescaped separator,
// with escaped separators kept as ordinary characters (their backslash dropped). A
// backslash escapes only when it is the character right before the separator and comes
// after the last escaped separator. False when no separator follows (the remaining text
// is dropped). One pass over the characters: every step moves forward.
bool TakeElement(std::string_view text, size_t* pos, char separator, const CodePage& cp,
                 std::string* element) {
  size_t piece = *pos;                       // start of the text not yet copied
  size_t previous = std::string_view::npos;  // start of the character before i
  for (size_t i = *pos; i < text.size();) {
    const size_t n = cp.CharLength(text, i);
    if (n == 1 && text[i] == separator) {
      const bool escaped =
          previous != std::string_view::npos && text[previous] == '\\' && previous + 1 == i;
      if (!escaped) {
        element->append(text, piece, i - piece);
        *pos = i + 1;
        return true;
      }
      element->append(text, piece, previous - piece);
      element->push_back(separator);
      piece = i + 1;
      previous = std::string_view::npos;
      i += 1;
      continue;
    }
    previous = i;
    i += n;
  }
  *pos = text.size();
  return false;
}

}  // namespace

int SplitAttributeList(std::string_view text, char separator, std::string_view sort_name,
                       std::vector<std::string>* list, const CodePage& cp) {
  std::string all(text);
  if (!EndsWithCharacter(all, separator, cp)) all.push_back(separator);
  const std::string_view rest_of(all);
  // Names equal to the sort name go to the front, the last found first; they are gathered
  // apart so that many of them cost no more than many others.
  std::vector<std::string> front;
  int added = 0;
  size_t pos = 0;
  std::string raw;  // reused: its buffer is allocated once, not once per name
  while (pos < rest_of.size()) {
    raw.clear();
    if (!TakeElement(rest_of, &pos, separator, cp, &raw)) break;
    std::string element(TrimWhite(raw, cp));
    pos = rest_of.size() - TrimLeadingWhite(rest_of.substr(pos)).size();
    if (StartsWithBinary(rest_of.substr(pos))) {
      element += ';';
      element.append(rest_of, pos, kBinary.size());
      pos += kBinary.size();
      // The character after the option, normally the next separator, goes with it whole.
      if (pos < rest_of.size()) pos += cp.CharLength(rest_of, pos);
    }
    if (element.empty()) continue;
    if (!sort_name.empty() && EqualsNoCase(element, sort_name, cp)) {
      front.push_back(std::move(element));
    } else {
      list->push_back(std::move(element));
    }
    ++added;
  }
  if (!front.empty()) {
    list->insert(list->begin(), std::make_move_iterator(front.rbegin()),
                 std::make_move_iterator(front.rend()));
  }
  return added;
}

}  // namespace quillon
