// The syntax of the Attributes property: names separated by ";".
//  - a separator written "\;" is part of the name (the backslash is dropped);
//  - white space around a name is removed, empty names are skipped;
//  - text after a separator that starts with "binary" (any case) is the LDAP binary
//    option of the name before it: "userCertificate;binary" stays one name;
//  - the name equal to the sort attribute (case ignored) moves to the front, so the
//    sort column is always the first.
// Characters are stepped over whole in the thread's ANSI code page: the second byte of a
// double-byte character is never taken for a separator or a backslash.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "module/ansi_text.h"

namespace quillon {

// Appends the names of text to list; returns how many were added.
int SplitAttributeList(std::string_view text, char separator, std::string_view sort_name,
                       std::vector<std::string>* list, const CodePage& cp);

}  // namespace quillon
