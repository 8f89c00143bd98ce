// The text QuillonPolicy.exe prints: what the component's own policy check read at each
// step and what decided, and the default directory server, for a hosting administrator.
#pragma once

#include <string>

namespace quillon {

struct LdapFields;
struct PolicyTrace;

// The store's registry key and its installation folder.
std::string DescribeStore();

// Each step the check took, up to the one that decided, then the decision and, when
// refused, the ErrorReason the page would see; fields are those the check ran on.
std::string DescribeDecision(const PolicyTrace& trace, const LdapFields& fields);

// What a page without ServerName (and one without Port) would connect to.
std::string DescribeServerDefaults();

}  // namespace quillon
