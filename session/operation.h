// The shape every directory operation shares, written once:
//   prologue  operation code, server defaults, working copies, server check, DN check,
//             one leading comma off the DN copy, the operation's own check, the
//             Encryption check, ConnectAndBind;
//   request   supplied by the operation;
//   closing   a non-zero result code into the error state, then the unbind.
// A stop anywhere before the request returns without touching the directory.
#pragma once

#include <functional>
#include <string>

#include "session/ldap_fields.h"

namespace quillon {

struct OperationTraits {
  OperationCode code;
  const char* empty_dn_message;
  // The operation's own check, run after the DN check: a refusal text, or null to go on.
  const char* (*own_check)(const LdapFields& fields) = nullptr;
};

// The request on the bound session with the DN copy; returns the LDAP result code
// (an operation that reports its own failure returns 0 after setting the error state).
using OperationRequest = std::function<ULONG(LDAP* session, const std::string& dn)>;

void RunOperation(LdapFields& fields, const OperationTraits& traits,
                  const OperationRequest& request);

// The error state of an operation that ran out of memory: IsError 1 and the library's
// text for LDAP_NO_MEMORY. Allocates nothing when memory is still short.
void SetOutOfMemory(LdapFields& fields) noexcept;

// An operation member's body: memory that runs out anywhere in it ends the operation like
// any other failure (the error state set, no connection left open, S_OK), and no exception
// crosses the COM boundary (see module/com_boundary.h).
template <class Body>
HRESULT GuardedOperation(LdapFields& fields, Body&& body) noexcept {
  try {
    body();
  } catch (...) {
    fields.connection.Reset();
    SetOutOfMemory(fields);
  }
  return S_OK;
}

inline constexpr char kNoServerMessage[] = "Please specify LDAP Server";
inline constexpr char kNoDnMessage[] = "Please specify valid value for DN";
inline constexpr char kUnknownEncryptionMessage[] =
    "Please specify Encryption as none, ldaps or starttls";
inline constexpr long kStandardLdapPort = 389;

}  // namespace quillon
