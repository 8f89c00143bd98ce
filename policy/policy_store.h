// Where the hosting policy lives and the fixed texts of its readers. An administrator's
// tooling writes the store; the component only reads it, afresh for every operation.
#pragma once

namespace quillon {

// The store's registry key, by full path (root name, backslash, subkey) and in parts.
inline constexpr char kPolicyKeyPath[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Tesmarin\\Varnex";
inline constexpr char kPolicySubkey[] = "SOFTWARE\\Tesmarin\\Varnex";

inline constexpr char kInstallationPathValue[] = "InstallationPath";  // REG_SZ folder
inline constexpr char kPolicySwitchValue[] = "EnableGardavo";         // REG_DWORD
inline constexpr char kServerInfoValue[] = "LDAPServerInfo";          // REG_SZ host[:port]

inline constexpr char kAdminFile[] = "Admin.ini";
inline constexpr char kSiteFile[] = "WebSite.ini";

// GetRegistryValue's type selectors.
inline constexpr int kReadString = 0;
inline constexpr int kReadNumber = 1;

inline constexpr char kTypeMismatchText[] =
    "The type you specified mismatch with registry value type";

}  // namespace quillon
