// Runs a compiled page in a fresh engine of its language (the system's VBScript or
// JScript through IActiveScript), with the page's objects as the members of one global
// item. One engine per request, made and closed on the request's own thread.
#pragma once

#include <oaidl.h>

#include <string>

#include "tools/pagehost/page_compiler.h"

namespace pagehost {

struct ScriptError {
  bool happened = false;
  HRESULT code = S_OK;
  std::wstring source;  // "Microsoft VBScript runtime error", "Response object", ...
  std::wstring description;
  ULONG script_line = 0;  // from 0, in the generated script
  LONG column = 0;
};

// S_OK when the page ran to its end or stopped on purpose; a failure with `error` filled
// in when it stopped on an error, or when the engine could not be started at all.
HRESULT RunPage(const CompiledPage& page, IDispatch* globals, ScriptError* error);

// The text of a script error code when the engine gave none (Wine's engines leave some
// empty), or "" when unknown.
std::wstring KnownErrorText(HRESULT code, bool vbscript);

}  // namespace pagehost
