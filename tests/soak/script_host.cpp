#include "script_host.h"

#include <cstdio>
#include <cstring>
#include <type_traits>
#include <utility>

namespace soak {

namespace {

constexpr size_t kKeptFailures = 20;

std::string HexResult(HRESULT hr) {
  char text[16];
  snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

// The identity of a COM object, for comparing what two paths hand out.
IUnknown* Identity(IDispatch* object) {
  IUnknown* unknown = nullptr;
  if (!object || FAILED(object->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown))))
    return nullptr;
  unknown->Release();  // the object stays alive through the caller's reference
  return unknown;
}

// The objects a for-each loop over a collection sees, in order.
std::vector<IUnknown*> Enumerate(Host& host, IDispatch* collection, const char* what) {
  std::vector<IUnknown*> seen;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  Var result;
  const HRESULT hr =
      collection->Invoke(DISPID_NEWENUM, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none,
                         result.Get(), nullptr, nullptr);
  if (FAILED(hr) || (result.Type() != VT_UNKNOWN && result.Type() != VT_DISPATCH) ||
      !V_UNKNOWN(result.Get())) {
    host.Fail().Add(std::string(what) + " _NewEnum failed " + HexResult(hr));
    return seen;
  }
  IEnumVARIANT* enumerator = nullptr;
  if (FAILED(V_UNKNOWN(result.Get())
                 ->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&enumerator)))) {
    host.Fail().Add(std::string(what) + " _NewEnum gave no IEnumVARIANT");
    return seen;
  }
  // Several at a time, as script engines fetch, and one at a time at the end.
  for (;;) {
    VARIANT items[3];
    ULONG fetched = 0;
    const HRESULT next = enumerator->Next(3, items, &fetched);
    for (ULONG i = 0; i < fetched; ++i) {
      seen.push_back(Identity(V_VT(&items[i]) == VT_DISPATCH ? V_DISPATCH(&items[i]) : nullptr));
      VariantClear(&items[i]);
    }
    if (next != S_OK) break;
  }
  enumerator->Release();
  return seen;
}

template <class T>
std::vector<T> ArrayOf(Host& host, const Var& array, VARTYPE element, const char* what) {
  std::vector<T> out;
  if (array.Type() != (VT_ARRAY | VT_VARIANT) || !V_ARRAY(array.Get())) {
    host.Fail().Add(std::string(what) + " is not an array of VARIANT");
    return out;
  }
  SAFEARRAY* sa = V_ARRAY(array.Get());
  LONG lower = 0, upper = -1;
  SafeArrayGetLBound(sa, 1, &lower);
  SafeArrayGetUBound(sa, 1, &upper);
  if (lower != 0) host.Fail().Add(std::string(what) + " does not start at 0");
  for (LONG i = lower; i <= upper; ++i) {
    VARIANT item;
    VariantInit(&item);
    SafeArrayGetElement(sa, &i, &item);
    if (V_VT(&item) != element) {
      host.Fail().Add(std::string(what) + " holds an element of the wrong type");
    } else if constexpr (std::is_same_v<T, std::wstring>) {
      out.emplace_back(V_BSTR(&item), SysStringLen(V_BSTR(&item)));
    } else {
      out.push_back(V_I4(&item));
    }
    VariantClear(&item);
  }
  return out;
}

// Count, Item(1..Count) and a for-each over one collection; calls read(item) per item.
template <class Read>
void WalkCollection(Host& host, IDispatch* collection, const char* what, Read read) {
  const LONG count = host.GetLong(collection, L"Count");
  std::vector<IUnknown*> by_index;
  for (LONG i = 1; i <= count; ++i) {
    Var item = host.Get(collection, L"Item", i);
    if (!item.Object()) {
      host.Fail().Add(std::string(what) + " Item gave no object");
      continue;
    }
    by_index.push_back(Identity(item.Object()));
    read(item.Object());
  }
  if (Enumerate(host, collection, what) != by_index) {
    host.Fail().Add(std::string(what) + ": for-each and Item disagree");
  }
}

}  // namespace

Var& Var::operator=(Var&& other) noexcept {
  if (this != &other) {
    VariantClear(&v_);
    v_ = other.v_;
    VariantInit(&other.v_);
  }
  return *this;
}

Var Var::Text(const std::wstring& text) {
  Var v;
  V_VT(&v.v_) = VT_BSTR;
  V_BSTR(&v.v_) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return v;
}

Var Var::Long(LONG value) {
  Var v;
  V_VT(&v.v_) = VT_I4;
  V_I4(&v.v_) = value;
  return v;
}

Var Var::Bytes(const std::string& bytes) {
  Var v;
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
  void* data = nullptr;
  if (array && SUCCEEDED(SafeArrayAccessData(array, &data))) {
    memcpy(data, bytes.data(), bytes.size());
    SafeArrayUnaccessData(array);
  }
  V_VT(&v.v_) = VT_ARRAY | VT_UI1;
  V_ARRAY(&v.v_) = array;
  return v;
}

Var Var::RefTo(Var& target) {
  Var v;
  V_VT(&v.v_) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&v.v_) = target.Get();
  return v;
}

void Failures::Add(const std::string& what) {
  ++count_;
  if (first_.size() < kKeptFailures) first_.push_back(what);
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

Var Host::Invoke(IDispatch* object, const wchar_t* name, WORD flags, std::vector<Var>& args) {
  Var result;
  if (!object) {
    failures_->Add("no object for " + Narrow(name));
    return result;
  }
  DISPID id = 0;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) {
    failures_->Add("GetIDsOfNames " + Narrow(name) + " " + HexResult(hr));
    return result;
  }
  // Invoke takes its arguments last first.
  std::vector<VARIANT> reversed;
  for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(*it->Get());
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  if (flags == DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &put;
    params.cNamedArgs = 1;
  }
  EXCEPINFO exception{};
  UINT arg_error = 0;
  hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                      flags == DISPATCH_PROPERTYPUT ? nullptr : result.Get(), &exception,
                      &arg_error);
  if (FAILED(hr)) failures_->Add("Invoke " + Narrow(name) + " " + HexResult(hr));
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  return result;
}

Var Host::Get(IDispatch* object, const wchar_t* name) {
  std::vector<Var> none;
  return Invoke(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, none);
}

Var Host::Get(IDispatch* object, const wchar_t* name, LONG index) {
  std::vector<Var> args;
  args.push_back(Var::Long(index));
  return Invoke(object, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args);
}

Var Host::Call(IDispatch* object, const wchar_t* name, std::vector<Var> args) {
  return Invoke(object, name, DISPATCH_METHOD, args);
}

void Host::Put(IDispatch* object, const wchar_t* name, Var value) {
  std::vector<Var> args;
  args.push_back(std::move(value));
  Invoke(object, name, DISPATCH_PROPERTYPUT, args);
}

LONG Host::GetLong(IDispatch* object, const wchar_t* name) {
  Var v = Get(object, name);
  if (FAILED(VariantChangeType(v.Get(), v.Get(), 0, VT_I4))) {
    failures_->Add(Narrow(name) + " is not a number");
    return -1;
  }
  return V_I4(v.Get());
}

std::wstring Host::GetText(IDispatch* object, const wchar_t* name) {
  Var v = Get(object, name);
  if (v.Type() != VT_BSTR) {
    failures_->Add(Narrow(name) + " is not text");
    return {};
  }
  return std::wstring(V_BSTR(v.Get()), SysStringLen(V_BSTR(v.Get())));
}

Table ReadQuery(Host& host, IDispatch* query) {
  Table table;
  WalkCollection(host, query, "Query", [&](IDispatch* entries) {
    Column column;
    column.name = host.GetText(entries, L"Attributes");
    Var list = host.Call(entries, L"ValuesList");
    if (!list.Object()) {
      host.Fail().Add("ValuesList gave no object");
      return;
    }
    WalkCollection(host, list.Object(), "QuerySub", [&](IDispatch* row_object) {
      Row row;
      row.values = ArrayOf<std::wstring>(host, host.Get(row_object, L"Value"), VT_BSTR, "Value");
      row.sizes = ArrayOf<LONG>(host, host.Call(row_object, L"ValueSize"), VT_I4, "ValueSize");
      if (row.sizes.size() != row.values.size()) host.Fail().Add("ValueSize and Value differ");
      column.rows.push_back(std::move(row));
    });
    table.push_back(std::move(column));
  });
  return table;
}

}  // namespace soak
