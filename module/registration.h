// Registry entries of a creatable class, written and removed by table.
//
// Rules: on writing, a key marked replace_tree is deleted with everything below it first,
// so no stale subkey survives a re-registration; other keys are opened or created and
// their values overwritten. On removal keys go deepest first, and a key is deleted only
// when no subkey remains below it, so a key that also holds foreign subkeys stays.
// Unregistering stops at the first deletion that fails and returns it: nothing more is
// changed, so what is left is what the failure explains. A write that fails part-way
// removes the whole block again, trying every key, before its own failure is returned.
#pragma once

#include <windows.h>

#include <string>

namespace quillon {

struct RegistryEntry {
  const wchar_t* key;         // below the root
  const wchar_t* value_name;  // null: the default value
  const wchar_t* data;        // null: an empty key; kModulePathData: the module's path
  bool replace_tree;          // delete the key and its subtree before writing
};

// Marks the data that is the full path of the module file, filled in when written.
extern const wchar_t kModulePathData[];

HRESULT WriteRegistryEntries(HKEY root, const RegistryEntry* entries, size_t count,
                             const std::wstring& module_path);
enum class Removal {
  kStopAtFirstFailure,  // unregistration
  kTryEveryKey,         // the rollback of a failed write: removes all it can
};
// Either way the first failure is the result.
HRESULT RemoveRegistryEntries(HKEY root, const RegistryEntry* entries, size_t count,
                              Removal removal);

// The type library embedded in the module file as TYPELIB 1.
HRESULT RegisterModuleTypeLibrary(const std::wstring& module_path);
HRESULT UnregisterModuleTypeLibrary(const GUID& libid);

}  // namespace quillon
