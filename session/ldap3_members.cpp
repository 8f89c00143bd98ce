// The members ILdap3 adds to the Ldap object: the name of the entry as one text, the
// escapes a page needs for a visitor's input, the settings of ModifyDN's move, of partial
// searches and of kept connections, and base64 for byte arrays. Like every setter they
// only store; none touches the network or the error state.
#include <string_view>

#include "module/ansi_text.h"
#include "module/com_boundary.h"
#include "module/safe_array.h"
#include "module/variant.h"
#include "session/escaping.h"
#include "session/ldap_object.h"

namespace quillon {

namespace {

// A BSTR over its whole length: a NUL inside the text is part of what gets escaped.
std::wstring_view WholeText(BSTR text) {
  return text ? std::wstring_view(text, SysStringLen(text)) : std::wstring_view();
}

HRESULT NewBstr(const std::wstring& text, BSTR* out) {
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

// Held as DN calls hold what they build, behind the one leading comma the operation takes
// off, so that DN calls made after it put their component in front as usual.
STDMETHODIMP CLdap::put_DistinguishedName(BSTR value) {
  return GuardedMember([&] {
    const std::string dn = ToText(value);
    f_.dn = dn.empty() ? std::string() : "," + dn;
    return S_OK;
  });
}

STDMETHODIMP CLdap::get_DistinguishedName(BSTR* value) {
  if (!value) return E_POINTER;
  *value = nullptr;
  return GuardedMember([&] {
    std::string_view dn = f_.dn;
    if (!dn.empty() && dn[0] == ',') dn.remove_prefix(1);
    *value = TextToBstr(dn);
    return *value ? S_OK : E_OUTOFMEMORY;
  });
}

STDMETHODIMP CLdap::EscapeFilterValue(BSTR text, BSTR* escaped) {
  if (!escaped) return E_POINTER;
  *escaped = nullptr;
  return GuardedMember([&] { return NewBstr(EscapeFilterText(WholeText(text)), escaped); });
}

STDMETHODIMP CLdap::EscapeDNValue(BSTR text, BSTR* escaped) {
  if (!escaped) return E_POINTER;
  *escaped = nullptr;
  return GuardedMember([&] { return NewBstr(EscapeDnText(WholeText(text)), escaped); });
}

STDMETHODIMP CLdap::put_NewParent(BSTR value) {
  return GuardedMember([&] {
    f_.new_parent = ToText(value);
    return S_OK;
  });
}

STDMETHODIMP CLdap::put_KeepOldRDN(LONG value) {
  f_.keep_old_rdn = value;
  return S_OK;
}

STDMETHODIMP CLdap::put_Partial(LONG value) {
  f_.partial = value;
  return S_OK;
}

STDMETHODIMP CLdap::get_Truncated(SHORT* value) {
  if (!value) return E_POINTER;
  *value = f_.truncated ? 1 : 0;
  return S_OK;
}

STDMETHODIMP CLdap::get_Succeeded(SHORT* value) {
  if (!value) return E_POINTER;
  *value = static_cast<SHORT>(f_.succeeded);
  return S_OK;
}

// Turning it off does not close a kept session here (the unbind is network traffic): the
// next operation opens a new one and closes it, and releasing the object closes it too.
STDMETHODIMP CLdap::put_KeepConnection(LONG value) {
  f_.keep_connection = value;
  return S_OK;
}

// A byte array of one dimension (as Bytes gives it), also by reference; Empty and Null
// give empty text, anything else is a type mismatch.
STDMETHODIMP CLdap::ToBase64(VARIANT bytes, BSTR* text) {
  if (!text) return E_POINTER;
  *text = nullptr;
  return GuardedMember([&]() -> HRESULT {
    Variant value;
    if (FAILED(VariantCopyInd(value.Get(), &bytes))) return DISP_E_TYPEMISMATCH;
    if (value.Type() == VT_EMPTY || value.Type() == VT_NULL) return NewBstr(L"", text);
    SAFEARRAY* array = value.Type() == (VT_ARRAY | VT_UI1) ? V_ARRAY(value.Get()) : nullptr;
    if (!array || SafeArrayGetDim(array) != 1) return DISP_E_TYPEMISMATCH;
    const ULONG count = array->rgsabound[0].cElements;
    if (count == 0) return NewBstr(L"", text);
    const SafeArrayData<unsigned char> data(array);
    if (!data.Get()) return E_OUTOFMEMORY;
    *text = TextToBstr(Base64(data.Get(), count));
    return *text ? S_OK : E_OUTOFMEMORY;
  });
}

}  // namespace quillon
