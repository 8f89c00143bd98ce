// The policy driver: the hosting-policy store written with every odd kind of content
// (registry values of the wrong type or size, unterminated or huge strings, INI files with
// very long lines, binary junk, NULs and no final line break), read through the store's
// helpers and through operations. Besides no crash, hang or leak it checks the one
// promise the store makes to an administrator: once the policy is in force, a page the
// store does not allow never reaches the directory, whatever else the files hold, also
// when memory runs short.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "alloc_faults.h"
#include "harness.h"
#include "module/bstr.h"
#include "module/com_ptr.h"
#include "odd_ldap.h"
#include "policy/hosting_policy.h"
#include "policy/kt_functions.h"
#include "policy/kt_get.h"
#include "policy/kt_reg.h"
#include "policy/permission_checks.h"
#include "policy/policy_store.h"
#include "policy/policy_text.h"
#include "session/ldap_object.h"

namespace quillon::fuzz {

namespace {

// How many operations each expectation judged, for the summary.
long g_judged_refused = 0;
long g_judged_allowed = 0;

const char* const kValueNames[] = {kInstallationPathValue, kPolicySwitchValue, kServerInfoValue};

void SetValue(const char* name, DWORD type, const std::string& bytes) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPolicySubkey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    Fail("cannot create the policy key");
    return;
  }
  RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                 static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
}

void DeleteValue(const char* name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPolicySubkey, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
    RegDeleteValueA(key, name);
    RegCloseKey(key);
  }
}

void SetString(const char* name, const std::string& text) {
  SetValue(name, REG_SZ, text + '\0');
}

void SetDword(const char* name, DWORD value) {
  SetValue(name, REG_DWORD, std::string(reinterpret_cast<const char*>(&value), sizeof(value)));
}

// A value of any type and size: strings without a terminator, numbers of the wrong
// length, strings far beyond any setting.
void SetOddValue(Rng& rng, const char* name) {
  static const DWORD kTypes[] = {REG_NONE,     REG_SZ,    REG_SZ,    REG_EXPAND_SZ,
                                 REG_BINARY,   REG_DWORD, REG_DWORD, REG_DWORD_BIG_ENDIAN,
                                 REG_MULTI_SZ, REG_QWORD, 0x12345};
  static const size_t kSizes[] = {0, 1, 2, 3, 4, 5, 8, 255, 256, 257, 4096, 65535, 65537, 300000};
  const DWORD type = kTypes[rng.Below(sizeof(kTypes) / sizeof(kTypes[0]))];
  std::string bytes = RandomBytes(rng, 64);
  bytes.resize(kSizes[rng.Below(sizeof(kSizes) / sizeof(kSizes[0]))], 'p');
  if (!bytes.empty() && rng.OneIn(2)) bytes.back() = rng.OneIn(2) ? '\0' : '\x82';
  SetValue(name, type, bytes);
}

// Junk lines that never open a section, so that the sections the store needs stay whole.
std::string JunkLines(Rng& rng) {
  std::string text;
  for (uint32_t i = rng.Below(4); i > 0; --i) {
    std::string line;
    switch (rng.Below(4)) {
      case 0:
        line = std::string(rng.OneIn(3) ? (1u << 20) + 7 : 70000, 'L');  // very long line
        break;
      case 1:
        line = "key" + std::to_string(rng.Below(9)) + "=" + RandomBytes(rng, 200);
        break;
      default:
        line = RandomBytes(rng, 300);
        break;
    }
    for (char& c : line) {
      if (c == '[' || c == '\0') c = '_';
    }
    text += line + (rng.OneIn(2) ? "\r\n" : "\n");
  }
  return text;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    Fail("cannot write %s", path.c_str());
    return;
  }
  DWORD written = 0;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(h);
}

enum class Expect { kAnything, kRefused, kAllowed };

struct Store {
  std::string folder;
  std::string page;
  Expect expect = Expect::kAnything;
};

// Writes one store. In force: installed and applied for Quillon and the switch on; the
// page's site decides. Otherwise any mixture of well-formed and odd parts.
Store WriteStore(Rng& rng, const RunSettings& settings, uint64_t round) {
  Store s;
  // Four folders in turn, so that no profile cache can hand back last round's file.
  s.folder = settings.work_dir + "\\policy" + std::to_string(round % 4);
  CreateDirectoryA(settings.work_dir.c_str(), nullptr);
  CreateDirectoryA(s.folder.c_str(), nullptr);
  const std::string site = s.folder + "\\Web\\Site1";
  s.page = site + "\\shop\\" + (rng.OneIn(4) ? std::string(5000, 'p') : "default") + ".asp";

  const uint32_t plan = rng.Below(5);  // 0 refused, 1 switch unreadable, 2 allowed, else odd
  const bool in_force = plan <= 2;
  const bool allowed = plan == 2;

  if (in_force || rng.OneIn(2)) {
    SetString(kInstallationPathValue, rng.OneIn(2) ? s.folder : s.folder + "\\");
  } else if (rng.OneIn(2)) {
    SetOddValue(rng, kInstallationPathValue);
  } else {
    DeleteValue(kInstallationPathValue);
  }
  if (plan == 1) {
    // Anything but a 4-byte REG_DWORD: the switch cannot be read, so the policy holds.
    do {
      SetOddValue(rng, kPolicySwitchValue);
    } while (false);
    DWORD type = 0, size = 0;
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPolicySubkey, 0, KEY_READ, &key);
    RegQueryValueExA(key, kPolicySwitchValue, nullptr, &type, nullptr, &size);
    RegCloseKey(key);
    if (type == REG_DWORD && size == 4) SetValue(kPolicySwitchValue, REG_BINARY, "\1\0\0\0");
  } else if (in_force) {
    static const DWORD kOn[] = {1, 0xFFFFFFFF, 0x10001, 0x7FFFFFFF, 2};
    SetDword(kPolicySwitchValue, kOn[rng.Below(5)]);
  } else if (rng.OneIn(2)) {
    SetOddValue(rng, kPolicySwitchValue);
  } else {
    SetDword(kPolicySwitchValue, static_cast<DWORD>(rng.Bits()));
  }
  if (rng.OneIn(2)) {
    SetOddValue(rng, kServerInfoValue);
  } else {
    static const char* const kInfos[] = {"localhost:389", "host:",  ":636",       "h:-2147483648",
                                         "h:99999999999", "h: 12x", "\x95\x5C:1", ""};
    SetString(kServerInfoValue, kInfos[rng.Below(8)]);
  }

  const char* const kMethods[] = {"Add", "Delete", "Modify", "ModifyDN", "Query"};
  std::string admin;
  if (in_force) {
    admin = JunkLines(rng) +
            "[Settings]\r\nInstalled=" + (rng.OneIn(2) ? " quillon , X" : "Quillon") +
            "\r\nApplied=Quillon\r\n" + JunkLines(rng) + "[Other]\r\n" + JunkLines(rng);
  } else if (rng.OneIn(2)) {
    admin =
        RandomBytes(rng, 2000) + "[Settings]\nInstalled=Quillon\nApplied=" + RandomBytes(rng, 30);
  } else {
    admin = JunkLines(rng) + RandomBytes(rng, 500);
  }
  std::string sites;
  if (allowed) {
    const std::string grant = rng.OneIn(2) ? "All" : "Add,Delete, Modify ,ModifyDN,Query";
    sites = "[Path]\r\nOther=Z:\\elsewhere\r\nSite1=" + site + "\r\n" + JunkLines(rng) +
            "[Security]\r\nSite1=X, Quillon\r\n[Site1]\r\nQuillon=" + grant + "\r\n" +
            JunkLines(rng);
  } else if (in_force) {
    // No line of [Path] is a prefix of the page, whatever follows.
    sites = "[Path]\r\nOther=Z:\\elsewhere\r\nSite1=" + site + "x\r\n" + JunkLines(rng) +
            "[Security]\r\nSite1=Quillon\r\nOther=Quillon\r\n[Site1]\r\nQuillon=All\r\n" +
            JunkLines(rng) + RandomBytes(rng, 200);
    (void)kMethods;
  } else {
    sites = JunkLines(rng) + "[Path]\r\n" + RandomBytes(rng, 300) + "\r\n[Security]\n" +
            RandomBytes(rng, 300);
  }
  // Files whose last line has no line break, or that are missing altogether.
  if (rng.OneIn(3) && !sites.empty()) sites += "Tail=no line break";
  if (!in_force && rng.OneIn(6)) {
    DeleteFileA((s.folder + "\\Admin.ini").c_str());
  } else {
    WriteFileBytes(s.folder + "\\Admin.ini", admin);
  }
  WriteFileBytes(s.folder + "\\WebSite.ini", sites);
  s.expect = plan == 0 || plan == 1 ? Expect::kRefused
             : plan == 2            ? Expect::kAllowed
                                    : Expect::kAnything;
  return s;
}

// The helpers of the store, called directly with odd arguments.
void CallHelpers(Rng& rng, const Store& store) {
  std::string out;
  SetAction("policy helpers");
  CKtReg reg;
  for (const char* name : kValueNames) {
    Progress();
    reg.ReadString(&out, HKEY_LOCAL_MACHINE, kPolicySubkey, name);
    Progress();
    reg.ReadDWORD(&out, HKEY_LOCAL_MACHINE, kPolicySubkey, name);
  }
  static const char* const kPaths[] = {kPolicyKeyPath,
                                       "hkey_local_machine\\SOFTWARE\\Tesmarin\\Varnex",
                                       "HKEY_LOCAL_MACHINE",
                                       "\\",
                                       "",
                                       "HKEY_NOWHERE\\x",
                                       "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tesmarin\\Varnex\\"};
  Progress();
  CKtGet().GetRegistryValue(&out, kPaths[rng.Below(7)], static_cast<int>(rng.Below(4)) - 1,
                            kValueNames[rng.Below(3)]);
  CKtFunctions functions;
  const std::string admin = store.folder + "\\Admin.ini";
  const std::string sites = store.folder + "\\WebSite.ini";
  Progress();
  functions.ReadProfileString(&out, "Settings", "Installed", admin);
  Progress();
  const std::string section = RandomBytes(rng, 20);
  functions.ReadProfileString(&out, section.c_str(), "key1", rng.OneIn(2) ? admin : sites);
  std::vector<std::string> lines;
  Progress();
  functions.ReadProfileSection(rng.OneIn(2) ? "Path" : section.c_str(), sites, &lines);
  Progress();
  CKtGet().FindPrefixEntry(&out, "Path", store.page, sites);
  Progress();
  functions.LocateProductFile(&out, rng.OneIn(2) ? kAdminFile : kSiteFile);
  Progress();
  functions.GetErrorText(static_cast<DWORD>(rng.Bits()));
  // The pure text rules over raw bytes, in both code pages.
  for (int i = 0; i < 8; ++i) {
    const CodePage cp(rng.OneIn(2) ? 932 : 1252);
    const std::string a = RandomBytes(rng, 80);
    const std::string b = RandomBytes(rng, 20);
    Progress();
    IsInList(a, b, cp);
    Progress();
    MatchPrefixLine({a, b, "x=" + b}, a, '=', cp);
    Progress();
    BeforeChar(a, ':', cp);
    Progress();
    AfterChar(a, ':', cp);
    Progress();
    ParseLeadingInt(a);
    Progress();
    SplitList(a, ',', cp);
  }
}

void RunOperation(Rng& rng, OddLdap& library, const Store& store) {
  ComPtr<ILdap> ldap;
  CLdap::CreateInstance(nullptr, IID_ILdap, ldap.PutVoid());
  if (!ldap) {
    Fail("no Ldap object");
    return;
  }
  Bstr server(rng.OneIn(3) ? L"" : L"localhost");
  ldap->put_ServerName(server.Get());
  if (rng.OneIn(2)) ldap->put_Port(RandomLong(rng));
  Bstr a(L"dc"), v(L"example");
  ldap->DN(a.Get(), v.Get());
  Bstr rdn(L"cn");
  ldap->NewRDN(rdn.Get(), v.Get());
  ldap->AttributeAdd(a.Get(), VARIANT{}, -1);  // staged nothing: Empty
  VARIANT text;
  VariantInit(&text);
  V_VT(&text) = VT_BSTR;
  V_BSTR(&text) = v.Get();
  ldap->AttributeAdd(a.Get(), text, -1);

  // The page: a request with its path, none at all, or a web server step that fails.
  bool identifiable = true;
  if (rng.OneIn(6)) {
    SetEnvironmentVariableA("PATH_TRANSLATED", nullptr);
    identifiable = false;
  } else {
    SetEnvironmentVariableA("PATH_TRANSLATED", store.page.c_str());
  }
  static const char* const kSteps[] = {"Context", "Request", "NotARequest", "ServerVariables",
                                       "Item"};
  if (rng.OneIn(8)) {
    SetEnvironmentVariableA("STANDIN_FAIL", kSteps[rng.Below(5)]);
    identifiable = false;
  } else {
    SetEnvironmentVariableA("STANDIN_FAIL", nullptr);
  }

  const int op = static_cast<int>(rng.Below(5));
  SetAction("policy operation %d, expecting %d", op, static_cast<int>(store.expect));
  const long opens_before = library.opens;
  const bool faults = rng.OneIn(6);
  HRESULT hr = S_OK;
  VARIANT result;
  VariantInit(&result);
  Progress();
  if (faults) ArmAllocationFault(rng.Below(200), rng.OneIn(2));
  try {
    switch (op) {
      case 0:
        hr = ldap->Add();
        break;
      case 1:
        hr = ldap->Delete();
        break;
      case 2:
        hr = ldap->Modify();
        break;
      case 3:
        hr = ldap->ModifyDN();
        break;
      default:
        hr = ldap->Query(&result);
        break;
    }
  } catch (...) {
    DisarmAllocationFault();
    Fail("C++ exception escaped an operation under the policy");
  }
  const bool fault_fired = faults && AllocationFaultFired();
  DisarmAllocationFault();
  VariantClear(&result);
  if (hr != S_OK) Fail("operation answered 0x%08lx", hr);
  if (library.outstanding != 0) {
    Fail("%ld library resources not given back", library.outstanding);
    library.outstanding = 0;
  }
  const bool reached = library.opens != opens_before;
  const LdapFields& f = static_cast<CLdap*>(ldap.Get())->Fields();
  if (f.connection) Fail("connection left open");
  if (f.port < -1) Fail("port %ld after the server defaults", f.port);
  // Only an operation that got as far as the policy check is judged by it.
  const bool checked = !f.server_name.empty();
  if (checked && store.expect == Expect::kRefused) ++g_judged_refused;
  if (checked && store.expect == Expect::kAllowed && identifiable && !fault_fired) {
    ++g_judged_allowed;
  }
  if (checked && store.expect == Expect::kRefused && reached)
    Fail("the policy is in force and does not allow this page, yet the directory was reached");
  if (checked && store.expect == Expect::kRefused && f.is_error != 1)
    Fail("a refused operation left IsError %ld", f.is_error);
  if (checked && store.expect == Expect::kAllowed && identifiable && !fault_fired && !reached)
    Fail("the policy allows this page, yet the operation was refused: %s", f.error_reason.c_str());
}

}  // namespace

uint64_t RunPolicyCalls(Rng& rng, uint64_t count, const RunSettings& settings) {
  OddLdap library;
  SetDllDirectoryA(settings.standin_dir.c_str());
  uint64_t rounds = 0;
  const LCID english = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);
  const LCID japanese = MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), SORT_DEFAULT);
  for (const uint64_t start = CallsMade(); CallsMade() - start < count; ++rounds) {
    SetThreadLocale(rounds % 3 == 2 ? japanese : english);
    SetAction("writing store %llu", static_cast<unsigned long long>(rounds));
    const Store store = WriteStore(rng, settings, rounds);
    CallHelpers(rng, store);
    for (int i = 0; i < 8; ++i) RunOperation(rng, library, store);
  }
  SetThreadLocale(english);
  SetEnvironmentVariableA("PATH_TRANSLATED", nullptr);
  SetEnvironmentVariableA("STANDIN_FAIL", nullptr);
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, kPolicySubkey);
  SetDllDirectoryA(nullptr);
  if (OddObject::Live() != 0) Fail("caller objects not released");
  printf("%llu stores; operations judged: %ld must be refused, %ld must be allowed\n",
         static_cast<unsigned long long>(rounds), g_judged_refused, g_judged_allowed);
  if (g_judged_refused == 0 || g_judged_allowed == 0) Fail("the policy's promises went untested");
  return rounds;
}

}  // namespace quillon::fuzz
