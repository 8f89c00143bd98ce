// The policy store's text and how its names compare. The registry values and the INI files
// are read through the ANSI functions, which give them in the system's ANSI code page
// whatever the calling thread's locale: a page may switch its thread to another locale,
// and the store must read the same for it. Names compare as the file system compares file
// names: in UTF-16, ordinally, without regard to case for every letter the system knows.
#pragma once

#include <string>
#include <string_view>

#include "module/ansi_text.h"

namespace quillon {

// The code page the store's text is read in: the system's ANSI code page.
CodePage StoreCodePage();

// Text of code page cp as UTF-16; the store's text by default.
std::wstring StoreToWide(std::string_view text, const CodePage& cp = StoreCodePage());
// UTF-16 as text of the store's code page, for showing and for the ANSI calls. A character
// the code page cannot hold becomes its default character, never a look-alike ("S" for a
// full-width S), so it can only fail to match.
std::string WideToStore(std::wstring_view text);

// The store's text as the component's own (UTF-8), for what reaches the page: a refusal,
// the default server's name.
std::string StoreToText(std::string_view text);

// Equal as two file names are equal: ordinal, case-insensitive over all of UTF-16.
bool SameName(std::wstring_view a, std::wstring_view b);
bool SameName(std::string_view a, std::string_view b, const CodePage& cp);
// The text begins with prefix, compared as SameName does.
bool StartsWithName(std::wstring_view text, std::wstring_view prefix);

}  // namespace quillon
