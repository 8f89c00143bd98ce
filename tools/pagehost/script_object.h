// The base of every object the host hands to page scripts: IUnknown from RefCounted, and
// IDispatch from a table of member names (no type library: the intrinsic
// objects are late-bound only, and names resolve without regard to case, as in VBScript).
// Itf is IDispatch or a dual interface derived from it (IRequest, IRequestDictionary,
// IStringList), so the object answers both the script engines and compiled callers.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "tools/pagehost/ref_counted.h"

namespace pagehost {

struct Member {
  const wchar_t* name;
  DISPID id;
};

// The arguments of one Invoke in their written order, by-reference ones looked through.
class Args {
 public:
  explicit Args(const DISPPARAMS* params);
  size_t Count() const { return positional_.size(); }
  VARIANT& operator[](size_t i) const { return *positional_[i]; }
  // The assigned value of a property put, or null.
  VARIANT* PutValue() const { return put_value_; }

 private:
  std::vector<VARIANT*> positional_;
  VARIANT* put_value_ = nullptr;
};

// One call from a script: what it asked and where the answer and any error go.
struct Invocation {
  WORD flags;
  const DISPPARAMS* params;
  Args args;
  VARIANT* result;  // may be null
  EXCEPINFO* exception;

  bool IsGet() const { return (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)) != 0; }
  VARIANT* PutValue() const { return args.PutValue(); }
  bool IsPut() const { return (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0; }
  // Fills the exception with the object's name and the text, for the page's error block.
  HRESULT Raise(const wchar_t* source, const std::wstring& text, HRESULT code = E_FAIL) const;
  HRESULT ReturnText(const std::wstring& text) const;
  HRESULT ReturnLong(LONG value) const;
  HRESULT ReturnBool(bool value) const;
  HRESULT ReturnObject(IDispatch* object) const;  // takes its own reference
};

// A property that yields an object and, called with arguments, reads or writes that
// object's default member: Request.Form("x"), Response.Cookies("n") = v, and the global
// item's Session("user") = name all arrive this way.
HRESULT ObjectProperty(IDispatch* object, const Invocation& call);

// The text of a value as pages write it: Empty and Null give "", Booleans "True"/"False",
// objects their default value. False when the value has no text.
bool TextOf(const VARIANT& value, std::wstring* text);

template <class Itf>
class ScriptObject : public RefCounted<Itf> {
 public:
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      if (i > 0) {
        hr = DISP_E_UNKNOWNNAME;  // no named arguments
        continue;
      }
      for (const Member* m = Members(); m->name; ++m) {
        if (names[0] && lstrcmpiW(names[0], m->name) == 0) ids[0] = m->id;
      }
      if (ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* exception, UINT*) override {
    static const DISPPARAMS kNone = {nullptr, nullptr, 0, 0};
    const DISPPARAMS* p = params ? params : &kNone;
    if (result) VariantInit(result);
    Invocation call{flags, p, Args(p), result, exception};
    return Call(id, call);
  }

 protected:
  virtual const Member* Members() const = 0;  // ends with {nullptr, 0}
  virtual HRESULT Call(DISPID id, const Invocation& call) = 0;
  virtual REFIID OwnIid() const { return IID_IDispatch; }

 private:
  void* Interface(REFIID riid) override {
    const bool known = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
                       IsEqualIID(riid, OwnIid());
    return known ? static_cast<Itf*>(this) : nullptr;
  }
};

}  // namespace pagehost
