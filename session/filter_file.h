// Reading a search filter from a file named by the FilterFile property.
#pragma once

#include <string>

namespace quillon {

// Reads the file's text up to its first zero byte, exactly as stored (no trimming: a
// trailing line break stays), as the component's text: bytes that are valid UTF-8 beyond
// ASCII as they are, any others through the thread's code page. False when the file cannot be opened or read; the caller
// then keeps its previous filter.
bool ReadFilterFile(const wchar_t* path, std::string* text);

}  // namespace quillon
