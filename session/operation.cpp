#include "session/operation.h"

#include "policy/hosting_policy.h"
#include "session/connection.h"
#include "session/kept_connection.h"

namespace quillon {

void SetOutOfMemory(LdapFields& f) noexcept {
  f.is_error = 1;
  f.succeeded = 0;
  f.error_code = LDAP_NO_MEMORY;
  try {
    f.error_reason = LdapErrorText(LDAP_NO_MEMORY);
  } catch (...) {
    // Nine characters fit the string's own storage, so this assignment cannot allocate.
    f.error_reason.assign("No Memory");
  }
}

namespace {

void RunSteps(LdapFields& f, const OperationTraits& traits, const OperationRequest& request) {
  f.current_operation = traits.code;
  const bool port_unset = f.port == -1;
  ApplyServerDefaults(f);
  // The defaults fill an unset port with 389 when the administrator names none (or names
  // 389, which cannot be told apart): an "ldaps" session then uses 636 instead.
  if (port_unset && f.port == kStandardLdapPort) f.port_defaulted = true;
  const std::string server = f.server_name;
  std::string dn = f.dn;
  if (server.empty()) return f.SetError(kNoServerMessage);
  if (dn.empty()) return f.SetError(traits.empty_dn_message);
  // DN composes names with a leading comma; only the copy loses it.
  if (dn[0] == ',') dn.erase(0, 1);
  if (traits.own_check) {
    if (const char* refusal = traits.own_check(f)) return f.SetError(refusal);
  }
  if (f.encryption == Encryption::kUnknown) return f.SetError(kUnknownEncryptionMessage);
  if (!ConnectAndBind(f, server)) return;
  const ULONG rc = request(f.connection.Get(), dn);
  if (rc != 0) f.SetError(LdapErrorText(static_cast<long>(rc)), static_cast<long>(rc));
}

}  // namespace

void RunOperation(LdapFields& f, const OperationTraits& traits, const OperationRequest& request) {
  f.succeeded = 1;  // until an error is set
  RunSteps(f, traits, request);
  CloseUnlessKept(f);
}

}  // namespace quillon
