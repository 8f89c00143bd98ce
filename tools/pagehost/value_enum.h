// IEnumVARIANT over a copy of some texts: what `For Each` walks in a collection.
#pragma once

#include <oaidl.h>

#include <string>
#include <vector>

namespace pagehost {

// A new enumerator with one reference (the caller's), or null when memory is short.
IEnumVARIANT* NewTextEnum(std::vector<std::wstring> texts);

}  // namespace pagehost
