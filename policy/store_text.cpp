#include "policy/store_text.h"

#include <windows.h>

namespace quillon {

// Made afresh on each call, never cached in a function-local static: such a static's
// guard costs the C++ runtime a thread-local slot on every load of the DLL, and a host
// that unloads idle DLLs runs out of slots after about a thousand loads.
CodePage StoreCodePage() {
  return CodePage(GetACP());
}

std::wstring StoreToWide(std::string_view text, const CodePage& cp) {
  return ToWide(text, cp);
}

std::string WideToStore(std::wstring_view text) {
  return ToAnsi(text, StoreCodePage());
}

std::string StoreToText(std::string_view text) {
  return ToText(std::wstring_view(StoreToWide(text)));
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  if (a.empty()) return true;
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool SameName(std::string_view a, std::string_view b, const CodePage& cp) {
  return SameName(StoreToWide(a, cp), StoreToWide(b, cp));
}

bool StartsWithName(std::wstring_view text, std::wstring_view prefix) {
  return prefix.size() <= text.size() && SameName(text.substr(0, prefix.size()), prefix);
}

}  // namespace quillon
