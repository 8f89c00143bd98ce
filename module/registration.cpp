#include "module/registration.h"

#include <oleauto.h>

#include <algorithm>
#include <vector>

#include "module/com_ptr.h"
#include "module/reg_key.h"

namespace quillon {

const wchar_t kModulePathData[] = L"<module path>";

namespace {

size_t Depth(const wchar_t* key) {
  return std::count(key, key + wcslen(key), L'\\');
}

HRESULT FromWin32(LONG error) {
  return HRESULT_FROM_WIN32(static_cast<DWORD>(error));
}

HRESULT WriteEntry(HKEY root, const RegistryEntry& entry, const std::wstring& module_path) {
  if (entry.replace_tree) {
    const LONG error = RegDeleteTreeW(root, entry.key);
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) return FromWin32(error);
  }
  RegKey key;
  LONG error = RegCreateKeyExW(root, entry.key, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                               nullptr, key.Put(), nullptr);
  if (error != ERROR_SUCCESS) return FromWin32(error);
  if (!entry.data) return S_OK;
  const std::wstring data = entry.data == kModulePathData ? module_path : entry.data;
  error = RegSetValueExW(key.Get(), entry.value_name, 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  return FromWin32(error);
}

bool HasSubkeys(HKEY root, const wchar_t* path) {
  RegKey key;
  if (RegOpenKeyExW(root, path, 0, KEY_READ, key.Put()) != ERROR_SUCCESS) return false;
  DWORD subkeys = 0;
  if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return true;  // unknown: keep the key rather than lose foreign data
  }
  return subkeys > 0;
}

}  // namespace

HRESULT WriteRegistryEntries(HKEY root, const RegistryEntry* entries, size_t count,
                             const std::wstring& module_path) {
  for (size_t i = 0; i < count; ++i) {
    const HRESULT hr = WriteEntry(root, entries[i], module_path);
    if (FAILED(hr)) {
      RemoveRegistryEntries(root, entries, count, Removal::kTryEveryKey);
      return hr;
    }
  }
  return S_OK;
}

HRESULT RemoveRegistryEntries(HKEY root, const RegistryEntry* entries, size_t count,
                              Removal removal) {
  std::vector<const wchar_t*> keys;
  for (size_t i = 0; i < count; ++i) {
    const bool seen = std::any_of(keys.begin(), keys.end(), [&](const wchar_t* k) {
      return _wcsicmp(k, entries[i].key) == 0;
    });
    if (!seen) keys.push_back(entries[i].key);
  }
  std::stable_sort(keys.begin(), keys.end(),
                   [](const wchar_t* a, const wchar_t* b) { return Depth(a) > Depth(b); });
  HRESULT first_failure = S_OK;
  for (const wchar_t* key : keys) {
    if (HasSubkeys(root, key)) continue;
    const LONG error = RegDeleteKeyW(root, key);
    if (error == ERROR_SUCCESS || error == ERROR_FILE_NOT_FOUND) continue;
    if (removal == Removal::kStopAtFirstFailure) return FromWin32(error);
    if (SUCCEEDED(first_failure)) first_failure = FromWin32(error);
  }
  return first_failure;
}

HRESULT RegisterModuleTypeLibrary(const std::wstring& module_path) {
  ComPtr<ITypeLib> library;
  HRESULT hr = LoadTypeLibEx(module_path.c_str(), REGKIND_NONE, library.Put());
  if (FAILED(hr)) return hr;
  std::wstring folder = module_path.substr(0, module_path.find_last_of(L"\\/") + 1);
  if (folder.size() > 3) folder.pop_back();  // keep the separator of a drive root only
  std::wstring path = module_path;
  return RegisterTypeLib(library.Get(), path.data(), folder.data());
}

HRESULT UnregisterModuleTypeLibrary(const GUID& libid) {
  // Only this build's own registration: the 32-bit and the 64-bit DLL register the same
  // library side by side, under win32 and win64.
  const SYSKIND own = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
  const HRESULT hr = UnRegisterTypeLib(libid, 1, 2, LOCALE_NEUTRAL, own);
  // Versions 1.0 (before ILdap2) and 1.1 (before ILdap3) are what earlier releases
  // registered; remove them too if they are there.
  UnRegisterTypeLib(libid, 1, 1, LOCALE_NEUTRAL, own);
  UnRegisterTypeLib(libid, 1, 0, LOCALE_NEUTRAL, own);
  return hr;
}

}  // namespace quillon
