// How the bytes of a value become the text a page reads and the text rows sort by.
//
// Directories store text as UTF-8, so a value whose bytes are valid UTF-8 and not plain
// ASCII is read as UTF-8; anything else (binary values, legacy data, plain ASCII) is read
// through the thread's ANSI code page as before. Distinguished names come from the library
// as UTF-8 too, so the dn column follows the same rule.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

#include "module/ansi_text.h"

namespace quillon {

// Valid UTF-8 (no overlong forms, no surrogates, nothing past U+10FFFF) with at least one
// byte beyond ASCII.
bool IsUtf8BeyondAscii(std::string_view text);

// The text of a value for Value: text holds its bytes up to the first zero byte; white
// space is removed from both ends. Null only when memory runs out.
BSTR ValueText(std::string_view text, const CodePage& cp);

// The text of a sort key in UTF-8, read as ValueText reads it (untrimmed): comparing two
// such texts byte by byte orders them by their characters' Unicode values.
std::string SortText(std::string_view text, const CodePage& cp);

// Byte order of two UTF-8 texts, with fold_case comparing A-Z as a-z. Negative, 0 or
// positive, like strcmp.
int CompareSortText(std::string_view a, std::string_view b, bool fold_case);

}  // namespace quillon
