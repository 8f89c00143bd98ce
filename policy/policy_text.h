// The text rules of the hosting-policy store: trimming, lists, "name=value" lines and the
// numbers held in the store. Pure functions over ANSI text in a given code page, so the
// rules can be checked without the registry, the INI files or COM. Every search walks
// whole characters: in a double-byte code page the second byte of a character may equal
// an ASCII byte ('\\' for instance in code page 932) and must not be taken for it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "module/ansi_text.h"

namespace quillon {

// Byte offset of the first single-byte character c, or npos.
size_t FindChar(std::string_view text, char c, const CodePage& cp);
// True when the last character of text is the single-byte character c.
bool EndsWithChar(std::string_view text, char c, const CodePage& cp);

std::string TrimCopy(std::string_view text, const CodePage& cp);

// The pieces between separators, each trimmed, in order. Empty text is an empty list, and
// a separator at the very end does not start a further, empty piece.
std::vector<std::string> SplitList(std::string_view text, char separator, const CodePage& cp);

// 1 when an element of the comma-separated list equals item as file names are equal
// (SameName); the item is compared as given, the elements trimmed.
int IsInList(std::string_view list, std::string_view item, const CodePage& cp);

// Trimmed text before the first c, or the whole text trimmed when c does not occur.
std::string BeforeChar(std::string_view text, char c, const CodePage& cp);
// Trimmed text after the first c, or empty text when c does not occur.
std::string AfterChar(std::string_view text, char c, const CodePage& cp);

// The first line, unchanged, whose trimmed value (after its first separator) begins text,
// compared as file names are (SameName, in UTF-16 with the lines read in code page cp);
// empty when none does. Lines without the separator and empty lines never match; only the
// value is compared, never the name. A value given in another form (its long form) by
// folder_form, when one is given, is compared in that form.
using FolderForm = std::wstring (*)(const std::wstring&);
std::string MatchPrefixLine(const std::vector<std::string>& lines, std::wstring_view text,
                            char separator, const CodePage& cp, FolderForm folder_form = nullptr);
// The same with text of code page cp.
std::string MatchPrefixLine(const std::vector<std::string>& lines, std::string_view text,
                            char separator, const CodePage& cp);

// The signed decimal number at the start of text: leading white space and one sign
// allowed, reading stops at the first non-digit, no digits give 0. Numbers beyond the
// 32-bit range are held at its ends, as the C library's strtol does.
long ParseLeadingInt(std::string_view text);

}  // namespace quillon
