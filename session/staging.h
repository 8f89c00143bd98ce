// Attribute staging: AttributeAdd and AttributeModify turn one automation value per call
// into a byte buffer and group it under an attribute name, until the next Add or Modify
// sends the list and empties it. Staging never reports an error: a value it cannot use
// is dropped.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <string>
#include <string_view>

#include "module/ansi_text.h"
#include "session/ldap_fields.h"

namespace quillon {

enum class StagingMethod { kAttributeAdd, kAttributeModify, kAttributeDelete };

// The earliest staged record that adds or replaces values and whose name equals name
// without regard to case (multibyte aware), or null. Removals are never joined.
StagedAttribute* FindStagedAttribute(LdapFields& f, std::string_view name, const CodePage& cp);

// Frees every staged buffer and forgets every staged record.
void ClearStagedAttributes(LdapFields& f);

// Puts one buffer into the pool and records it as a value with its declared size: under
// the earliest record of the same name when join is true and there is one, otherwise in a
// new record at the end of the list that takes add_flag (a removal when the method is
// AttributeDelete).
void PlaceStagedValue(LdapFields& f, std::string name, std::unique_ptr<unsigned char[]> buffer,
                      size_t length, long declared_size, long add_flag, bool join,
                      const CodePage& cp, StagingMethod method = StagingMethod::kAttributeAdd);

// One AttributeAdd, AttributeModify or AttributeDelete call. Returns whether something
// was staged.
bool StageValue(LdapFields& f, StagingMethod method, BSTR name, const VARIANT& value,
                long declared_size, long add_flag);

// AttributeDelete without a value: the removal of every value of the attribute.
bool StageRemoval(LdapFields& f, BSTR name);

// Whether an argument was left out by the caller (an optional VARIANT not passed).
bool IsMissingArgument(const VARIANT& value);

}  // namespace quillon
