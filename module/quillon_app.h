// The application object: fills the module record when the DLL loads and empties it when
// the DLL unloads. Nothing else of the component's own happens here.
#pragma once

#include <windows.h>

namespace quillon {

class CQuillonApp {
 public:
  void InitInstance(HINSTANCE instance);
  void ExitInstance();
};

extern CQuillonApp theApp;

// The registry entries of the Ldap class (exposed for the registration tests).
struct RegistryEntry;
const RegistryEntry* LdapRegistryEntries(size_t* count);

}  // namespace quillon
