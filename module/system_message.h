// The system message table's text for a Windows error code (neutral language, default
// sublanguage, inserts ignored), exactly as the system gives it, including the line break
// its texts end with. False when the system has no text for the code; each caller has its
// own fallback text.
#pragma once

#include <windows.h>

#include <string>

namespace quillon {

bool SystemMessage(DWORD code, std::string* text);

}  // namespace quillon
