// The state of one Ldap object: a plain record of settings plus the error state.
// Property setters only convert and store; operations read the record, talk to the
// directory once and leave their outcome in the error state.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "session/ldap_handles.h"

namespace quillon {

struct ResultTree;

// One staged value: a buffer owned by the staged value pool and how many bytes of it
// belong to the value, so that no declared size can make a request read past its end.
struct StagedValue {
  unsigned char* data;
  size_t length;
};

// One attribute staged for Add or Modify: its values, in call order, with the declared
// size of each recorded as decimal text.
struct StagedAttribute {
  std::string name;
  std::vector<StagedValue> values;
  std::vector<std::string> sizes;
  long add_flag = 0;  // non-zero: Modify adds the values instead of replacing them
  // Modify removes the values (every value of the attribute when there are none).
  bool remove = false;
};

// Codes of the operations, in CurrentOperation.
enum OperationCode : long {
  kNoOperation = -1,
  kOpAdd = 0,
  kOpDelete = 1,
  kOpModify = 2,
  kOpModifyDN = 3,
  kOpQuery = 4,
};

// How a session is protected, from the Encryption text.
enum class Encryption {
  kNone,      // plain LDAP
  kLdaps,     // TLS from the first byte
  kStartTls,  // plain connection, TLS started before the bind
  kUnknown,   // any other text: every operation refuses to start
};

// Who a session was opened for: a kept session serves only an operation that would open
// the same one.
struct ConnectionIdentity {
  std::string server_name;
  long port = -1;
  bool port_defaulted = false;
  std::string user_name, password;
  Encryption encryption = Encryption::kNone;
  bool operator==(const ConnectionIdentity& o) const {
    return server_name == o.server_name && port == o.port && port_defaulted == o.port_defaulted &&
           user_name == o.user_name && password == o.password && encryption == o.encryption;
  }
};

struct LdapFields {
  // Open only while an operation runs, unless KeepConnection keeps it for the next one.
  LdapSession connection;
  ConnectionIdentity connection_identity;         // whom connection was opened for
  std::shared_ptr<const ResultTree> result_tree;  // latest successful search
  std::vector<std::unique_ptr<unsigned char[]>> staged_value_pool;
  long is_error = 0;
  // The LDAP result code of the last failure, -1 for a failure that is no LDAP result, 0
  // after a successful search: as sticky as error_reason.
  long error_code = 0;
  std::string error_reason;
  std::string component_name = "Quillon";
  std::string policy_refusal_text;
  std::string admin_policy_path;
  std::string site_policy_path;
  long policy_files_missing = 0;
  long current_operation = kNoOperation;
  long port = -1;  // -1: not set
  // Port holds the standard port because neither the page nor the administrator named
  // one; an "ldaps" session then goes to the standard LDAPS port instead.
  bool port_defaulted = false;
  long timeout = 0;   // seconds; 0: none
  long max_rows = 0;  // 0 or less: none
  std::string user_name;
  std::string password;
  std::string attributes;
  // RFC 4515 allows no blanks around "=": strict libraries refuse "(objectclass = *)".
  std::string filter = "(objectclass=*)";
  std::string sort;
  std::string dn;
  std::string new_rdn;
  std::string server_name;
  long scope = 1;  // 0 base, 1 one level, 2 subtree
  long sort_ascending = 1;
  long sort_case_sensitive = 1;
  long page_size = 0;  // 0 or less: one plain search
  Encryption encryption = Encryption::kNone;
  std::vector<StagedAttribute> staged_attributes;
  std::string new_parent;  // ModifyDN moves the entry under it when not empty
  long keep_old_rdn = 0;
  long partial = 0;  // non-zero: a search cut short by a size limit gives what arrived
  long truncated = 0;
  long keep_connection = 0;
  // 1 after an operation that succeeded, 0 after one that failed, -1 before the first:
  // never sticky, unlike is_error.
  long succeeded = -1;

  // An error is always this pair of writes; nothing else reports one.
  void SetError(std::string message, long code = -1) {
    is_error = 1;
    succeeded = 0;
    error_code = code;
    error_reason = std::move(message);
  }
};

}  // namespace quillon
