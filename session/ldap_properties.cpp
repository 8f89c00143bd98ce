// The property setters and the two getters of the Ldap object. None of them touches the
// network or the error state; the ones that take text answer E_OUTOFMEMORY, their property
// unchanged, when memory runs out.
#include <memory>
#include <new>

#include "module/ansi_text.h"
#include "module/com_boundary.h"
#include "session/filter_file.h"
#include "session/ldap_object.h"

namespace quillon {

namespace {

// Filter and Sort keep their previous value when the new one trims to nothing.
void StoreTrimmedIfNotEmpty(BSTR value, std::string* field) {
  const CodePage cp = TextCodePage();
  const std::string text = ToText(value);
  const std::string_view trimmed = TrimWhite(text, cp);
  if (!trimmed.empty()) field->assign(trimmed);
}

}  // namespace

STDMETHODIMP CLdap::put_ServerName(BSTR value) {
  return GuardedMember([&] {
    f_.server_name = ToText(value);
    return S_OK;
  });
}

STDMETHODIMP CLdap::put_Port(LONG value) {
  f_.port = value < 0 ? -1 : value;
  f_.port_defaulted = false;
  return S_OK;
}

STDMETHODIMP CLdap::put_UserName(BSTR value) {
  return GuardedMember([&] {
    f_.user_name = ToText(value);
    return S_OK;
  });
}

STDMETHODIMP CLdap::put_Password(BSTR value) {
  return GuardedMember([&] {
    f_.password = ToText(value);
    return S_OK;
  });
}

STDMETHODIMP CLdap::put_Attributes(BSTR value) {
  return GuardedMember([&] {
    f_.attributes = ToText(value);
    return S_OK;
  });
}

STDMETHODIMP CLdap::put_Filter(BSTR value) {
  return GuardedMember([&] {
    StoreTrimmedIfNotEmpty(value, &f_.filter);
    return S_OK;
  });
}

STDMETHODIMP CLdap::put_Sort(BSTR value) {
  return GuardedMember([&] {
    StoreTrimmedIfNotEmpty(value, &f_.sort);
    return S_OK;
  });
}

STDMETHODIMP CLdap::put_Scope(BSTR value) {
  return GuardedMember([&] {
    const CodePage cp = TextCodePage();
    const std::string text = ToText(value);
    if (EqualsNoCase(text, "base", cp)) {
      f_.scope = 0;
    } else if (EqualsNoCase(text, "subtree", cp)) {
      f_.scope = 2;
    } else {
      f_.scope = 1;
    }
    return S_OK;
  });
}

STDMETHODIMP CLdap::put_Timeout(LONG value) {
  f_.timeout = value < 0 ? 0 : value;
  return S_OK;
}

STDMETHODIMP CLdap::put_MaxRows(ULONG value) {
  // The 32 bits go unchanged into the signed field: 2^31 and above read as no limit.
  f_.max_rows = static_cast<long>(value);
  return S_OK;
}

STDMETHODIMP CLdap::put_SortAscending(LONG value) {
  f_.sort_ascending = value;
  return S_OK;
}

STDMETHODIMP CLdap::put_SortCaseSensitive(LONG value) {
  f_.sort_case_sensitive = value;
  return S_OK;
}

STDMETHODIMP CLdap::put_FilterFile(BSTR value) {
  return GuardedMember([&] {
    std::string filter;
    if (ReadFilterFile(value, &filter) && !filter.empty()) f_.filter = std::move(filter);
    return S_OK;
  });
}

STDMETHODIMP CLdap::put_PageSize(LONG value) {
  f_.page_size = value;
  return S_OK;
}

// Read when the text is set, so that the setter never fails; an unknown word shows only
// when an operation runs.
STDMETHODIMP CLdap::put_Encryption(BSTR value) {
  return GuardedMember([&] {
    const CodePage cp = TextCodePage();
    const std::string text = ToText(value);
    const std::string_view word = TrimWhite(text, cp);
    if (word.empty() || EqualsNoCase(word, "none", cp)) {
      f_.encryption = Encryption::kNone;
    } else if (EqualsNoCase(word, "ldaps", cp)) {
      f_.encryption = Encryption::kLdaps;
    } else if (EqualsNoCase(word, "starttls", cp)) {
      f_.encryption = Encryption::kStartTls;
    } else {
      f_.encryption = Encryption::kUnknown;
    }
    return S_OK;
  });
}

STDMETHODIMP CLdap::get_IsError(SHORT* value) {
  if (!value) return E_POINTER;
  *value = static_cast<SHORT>(f_.is_error & 0xFFFF);
  return S_OK;
}

STDMETHODIMP CLdap::get_ErrorReason(BSTR* value) {
  if (!value) return E_POINTER;
  *value = nullptr;
  return GuardedMember([&] {
    *value = TextToBstr(f_.error_reason);
    return *value ? S_OK : E_OUTOFMEMORY;
  });
}

STDMETHODIMP CLdap::get_ErrorCode(LONG* value) {
  if (!value) return E_POINTER;
  *value = f_.error_code;
  return S_OK;
}

}  // namespace quillon
