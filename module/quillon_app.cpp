#include "module/quillon_app.h"

#include "module/class_factory.h"
#include "module/module.h"
#include "module/registration.h"
#include "quillon.h"
#include "session/ldap_object.h"

namespace quillon {

CQuillonApp theApp;

namespace {

#define LDAP_CLSID_TEXT L"{3A21604A-75C7-4955-9ABF-55333D45F227}"
#define LDAP_CLASS_KEY L"CLSID\\" LDAP_CLSID_TEXT

const RegistryEntry kLdapEntries[] = {
    {L"Quillon.Ldap.1", nullptr, L"Ldap Class", false},
    {L"Quillon.Ldap.1\\CLSID", nullptr, LDAP_CLSID_TEXT, false},
    {L"Quillon.Ldap", nullptr, L"Ldap Class", false},
    {L"Quillon.Ldap\\CLSID", nullptr, LDAP_CLSID_TEXT, false},
    {L"Quillon.Ldap\\CurVer", nullptr, L"Quillon.Ldap.1", false},
    {LDAP_CLASS_KEY, nullptr, L"Ldap Class", true},
    {LDAP_CLASS_KEY L"\\ProgID", nullptr, L"Quillon.Ldap.1", false},
    {LDAP_CLASS_KEY L"\\VersionIndependentProgID", nullptr, L"Quillon.Ldap", false},
    {LDAP_CLASS_KEY L"\\Programmable", nullptr, nullptr, true},
    {LDAP_CLASS_KEY L"\\InprocServer32", nullptr, kModulePathData, false},
    {LDAP_CLASS_KEY L"\\InprocServer32", L"ThreadingModel", L"Apartment", false},
    {LDAP_CLASS_KEY L"\\TypeLib", nullptr, L"{90AB047F-EBC7-4C79-A2A5-675D86AA07A5}", false},
};
constexpr size_t kLdapEntryCount = sizeof(kLdapEntries) / sizeof(kLdapEntries[0]);

HRESULT UpdateLdapRegistry(bool register_entries) {
  if (register_entries) {
    return WriteRegistryEntries(HKEY_CLASSES_ROOT, kLdapEntries, kLdapEntryCount,
                                Module::Instance().FilePath());
  }
  return RemoveRegistryEntries(HKEY_CLASSES_ROOT, kLdapEntries, kLdapEntryCount,
                               Removal::kStopAtFirstFailure);
}

ClassEntry g_classes[] = {
    {&CLSID_Ldap, &UpdateLdapRegistry, &ClassFactory::Create, &CLdap::CreateInstance, nullptr},
};

}  // namespace

const RegistryEntry* LdapRegistryEntries(size_t* count) {
  *count = kLdapEntryCount;
  return kLdapEntries;
}

void CQuillonApp::InitInstance(HINSTANCE instance) {
  Module::Instance().Init(instance, g_classes, 1, &LIBID_QUILLONLib);
}

void CQuillonApp::ExitInstance() {
  Module::Instance().Term();
}

}  // namespace quillon
