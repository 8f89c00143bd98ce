// The administrator's default directory server, from the real registry of this test's
// Wine prefix.
#include <gtest/gtest.h>

#include <string>

#include "policy/hosting_policy.h"
#include "policy_test_support.h"
#include "session/ldap_fields.h"

namespace quillon {
namespace {

using test::PolicyKey;

struct Outcome {
  std::string server;
  long port;
  bool operator==(const Outcome& o) const { return server == o.server && port == o.port; }
};

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
  return os << "{\"" << o.server << "\", " << o.port << "}";
}

Outcome Apply(const std::string& server, long port) {
  LdapFields fields;
  fields.server_name = server;
  fields.port = port;
  ApplyServerDefaults(fields);
  return {fields.server_name, fields.port};
}

TEST(PolicyServerDefaults, HostAndPortFromTheRegistry) {
  PolicyKey key;
  struct Case {
    const char* info;
    Outcome fresh;  // server empty, port unset
  };
  for (const Case& c :
       {Case{"dir1:636", {"dir1", 636}}, Case{"dir1", {"dir1", 389}}, Case{"dir1:abc", {"dir1", 0}},
        Case{" dir1 : -636x ", {"dir1", 636}}, Case{"dir1:", {"dir1", 389}}, Case{":636", {"", -1}},
        Case{"  ", {"", -1}}, Case{"dir1:99999999999", {"dir1", 2147483647}},
        Case{"dir1:-2147483648", {"dir1", 2147483647}}}) {
    key.SetString("LDAPServerInfo", c.info);
    EXPECT_EQ(Apply("", -1), c.fresh) << c.info;
  }
}

TEST(PolicyServerDefaults, WhatTheScriptSetIsKept) {
  PolicyKey key;
  key.SetString("LDAPServerInfo", "dir1:636");
  EXPECT_EQ(Apply("mine", -1), (Outcome{"mine", 636}));
  EXPECT_EQ(Apply("", 1000), (Outcome{"dir1", 1000}));
  EXPECT_EQ(Apply("mine", 0), (Outcome{"mine", 0}));
}

TEST(PolicyServerDefaults, AnUnreadableValueLeavesAnEmptyServerAlone) {
  PolicyKey key;
  EXPECT_EQ(Apply("", -1), (Outcome{"", -1}));
  EXPECT_EQ(Apply("mine", -1), (Outcome{"mine", 389}));
  key.SetDword("LDAPServerInfo", 636);
  EXPECT_EQ(Apply("", -1), (Outcome{"", -1}));
  EXPECT_EQ(Apply("mine", -1), (Outcome{"mine", 389}));
}

TEST(PolicyServerDefaults, FilledValuesLastForLaterOperations) {
  PolicyKey key;
  key.SetString("LDAPServerInfo", "dir1:636");
  LdapFields fields;
  ApplyServerDefaults(fields);
  key.SetString("LDAPServerInfo", "dir2:1636");
  ApplyServerDefaults(fields);
  EXPECT_EQ((Outcome{fields.server_name, fields.port}), (Outcome{"dir1", 636}));
}

}  // namespace
}  // namespace quillon
