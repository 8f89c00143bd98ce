// The shape every directory operation shares, written once:
//   prologue  operation code, server defaults, working copies, server check, DN check,
//             one leading comma off the DN copy, the operation's own check, ConnectAndBind;
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

inline constexpr char kNoServerMessage[] = "Please specify LDAP Server";
inline constexpr char kNoDnMessage[] = "Please specify valid value for DN";

}  // namespace quillon
