// CLdap, the one object a page creates ("Quillon.Ldap"). Every member returns S_OK;
// operations report their outcome only through IsError and ErrorReason.
#pragma once

#include <windows.h>

#include "module/com_object.h"
#include "module/dispatch.h"
#include "quillon.h"
#include "session/ldap_fields.h"

namespace quillon {

// ILdap3 extends ILdap2, which extends ILdap, so one vtable serves all three: clients of
// any of them get the same object, and IDispatch is served from ILdap3's description
// (all members).
class CLdap : public SupportErrorInfoImpl<&IID_ILdap, &IID_ILdap2, &IID_ILdap3>,
              public DispatchImpl<ILdap3, &IID_ILdap3> {
 public:
  static const InterfaceEntry kInterfaces[];

  // The class object's creation routine: plain, or aggregated when outer is given.
  static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv);

  const LdapFields& Fields() const { return f_; }

  // ILdap
  STDMETHODIMP Add() override;
  STDMETHODIMP put_Port(LONG value) override;
  STDMETHODIMP put_UserName(BSTR value) override;
  STDMETHODIMP put_Password(BSTR value) override;
  STDMETHODIMP get_IsError(SHORT* value) override;
  STDMETHODIMP get_ErrorReason(BSTR* value) override;
  STDMETHODIMP Delete() override;
  STDMETHODIMP Modify() override;
  STDMETHODIMP Query(VARIANT* result) override;
  STDMETHODIMP put_Attributes(BSTR value) override;
  STDMETHODIMP put_Filter(BSTR value) override;
  STDMETHODIMP put_Timeout(LONG value) override;
  STDMETHODIMP put_Scope(BSTR value) override;
  STDMETHODIMP ModifyDN() override;
  STDMETHODIMP put_MaxRows(ULONG value) override;
  STDMETHODIMP put_Sort(BSTR value) override;
  STDMETHODIMP put_SortAscending(LONG value) override;
  STDMETHODIMP put_SortCaseSensitive(LONG value) override;
  STDMETHODIMP put_FilterFile(BSTR value) override;
  STDMETHODIMP AttributeAdd(BSTR name, VARIANT value, LONG size) override;
  STDMETHODIMP AttributeModify(BSTR name, VARIANT value, LONG size, LONG add) override;

  STDMETHODIMP DN(BSTR attribute, BSTR value) override;
  STDMETHODIMP NewRDN(BSTR attribute, BSTR value) override;
  STDMETHODIMP put_ServerName(BSTR value) override;

  // ILdap2
  STDMETHODIMP put_PageSize(LONG value) override;
  STDMETHODIMP put_Encryption(BSTR value) override;
  STDMETHODIMP get_ErrorCode(LONG* value) override;
  STDMETHODIMP AttributeDelete(BSTR name, VARIANT value, LONG size) override;

  // ILdap3
  STDMETHODIMP get_DistinguishedName(BSTR* value) override;
  STDMETHODIMP put_DistinguishedName(BSTR value) override;
  STDMETHODIMP EscapeFilterValue(BSTR text, BSTR* escaped) override;
  STDMETHODIMP EscapeDNValue(BSTR text, BSTR* escaped) override;
  STDMETHODIMP put_NewParent(BSTR value) override;
  STDMETHODIMP put_KeepOldRDN(LONG value) override;
  STDMETHODIMP put_Partial(LONG value) override;
  STDMETHODIMP get_Truncated(SHORT* value) override;
  STDMETHODIMP get_Succeeded(SHORT* value) override;
  STDMETHODIMP put_KeepConnection(LONG value) override;
  STDMETHODIMP ToBase64(VARIANT bytes, BSTR* text) override;

 protected:
  CLdap() = default;

 private:
  LdapFields f_;
};

}  // namespace quillon
