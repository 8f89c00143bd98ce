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

struct LdapFields {
  LdapSession connection;                         // open only while an operation runs
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

  // An error is always this pair of writes; nothing else reports one.
  void SetError(std::string message, long code = -1) {
    is_error = 1;
    error_code = code;
    error_reason = std::move(message);
  }
};

}  // namespace quillon
