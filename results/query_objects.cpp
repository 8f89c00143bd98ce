#include "results/query_objects.h"

#include <cstring>

#include "module/ansi_text.h"
#include "module/com_boundary.h"
#include "module/safe_array.h"
#include "results/value_text.h"

namespace quillon {

const InterfaceEntry CQuery::kInterfaces[] = {
    Entry<CQuery, IQuery2>(&IID_IQuery2),
    Entry<CQuery, IQuery2>(&IID_IQuery),
    Entry<CQuery, IQuery2>(&IID_IDispatch),
    Entry<CQuery, ISupportErrorInfo>(&IID_ISupportErrorInfo),
    {nullptr, nullptr},
};

const InterfaceEntry CQuerySub::kInterfaces[] = {
    Entry<CQuerySub, IQuerySub>(&IID_IQuerySub),
    Entry<CQuerySub, IQuerySub>(&IID_IDispatch),
    {nullptr, nullptr},
};

const InterfaceEntry CQueryEntries::kInterfaces[] = {
    Entry<CQueryEntries, IQueryEntries>(&IID_IQueryEntries),
    Entry<CQueryEntries, IQueryEntries>(&IID_IDispatch),
    Entry<CQueryEntries, ISupportErrorInfo>(&IID_ISupportErrorInfo),
    {nullptr, nullptr},
};

const InterfaceEntry CQueryEntriesSub::kInterfaces[] = {
    Entry<CQueryEntriesSub, IQueryEntriesSub2>(&IID_IQueryEntriesSub),
    Entry<CQueryEntriesSub, IQueryEntriesSub2>(&IID_IQueryEntriesSub2),
    Entry<CQueryEntriesSub, IQueryEntriesSub2>(&IID_IDispatch),
    {nullptr, nullptr},
};

namespace {

// A new object of class T as the IDispatch of its dual interface.
template <class T, class Itf, class... Args>
ComPtr<IDispatch> NewItem(Args&&... args) {
  ComPtr<IDispatch> item;
  ComObject<T>::CreateInstance(IID_IDispatch, item.PutVoid(), std::forward<Args>(args)...);
  return item;
}

// A zero-based one-dimensional array of VARIANT, one element per value of cell. make
// fills one element and answers false when memory runs out.
template <class MakeElement>
HRESULT ValueArray(CellValues values, VARIANT* out, MakeElement make) {
  if (!out) return E_POINTER;
  VariantInit(out);
  SafeArray array(SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(values.size)));
  if (!array.Get()) return E_OUTOFMEMORY;
  {
    SafeArrayData<VARIANT> data(array.Get());
    if (!data.Get()) return E_OUTOFMEMORY;
    for (size_t i = 0; i < values.size; ++i) {
      if (!make(values[i], &data.Get()[i])) return E_OUTOFMEMORY;
    }
  }
  V_VT(out) = VT_ARRAY | VT_VARIANT;
  V_ARRAY(out) = array.Detach();
  return S_OK;
}

}  // namespace

STDMETHODIMP CQueryEntries::get_Attributes(BSTR* name) {
  if (!name) return E_POINTER;
  *name = nullptr;
  return GuardedMember([&] {
    *name = TextToBstr(column_->name);
    return *name ? S_OK : E_OUTOFMEMORY;
  });
}

STDMETHODIMP CQueryEntries::ValuesList(VARIANT* rows) {
  if (!rows) return E_POINTER;
  VariantInit(rows);
  return GuardedMember([&] {
    ComObject<CQuerySub>* list = ComObject<CQuerySub>::New();
    if (!list) return E_OUTOFMEMORY;
    ComPtr<IQuerySub> owner(list);
    for (const ResultCell& cell : column_->cells) {
      ComPtr<IDispatch> row = NewItem<CQueryEntriesSub, IQueryEntriesSub>(
          tree_, column_->ValuesOf(cell));
      if (!row) return E_OUTOFMEMORY;
      list->Append(std::move(row));
    }
    V_VT(rows) = VT_DISPATCH;
    V_DISPATCH(rows) = owner.Detach();
    return S_OK;
  });
}

STDMETHODIMP CQueryEntriesSub::get_Value(VARIANT* values) {
  if (!values) return E_POINTER;
  VariantInit(values);
  return GuardedMember([&] {
    const CodePage cp;
    return ValueArray(values_, values, [&](const ResultValue& v, VARIANT* element) {
      V_VT(element) = VT_BSTR;
      V_BSTR(element) = ValueText(v.Text(), cp);
      return true;
    });
  });
}

STDMETHODIMP CQueryEntriesSub::ValueSize(VARIANT* sizes) {
  return ValueArray(values_, sizes, [](const ResultValue& v, VARIANT* element) {
    V_VT(element) = VT_I4;
    V_I4(element) = static_cast<LONG>(v.length);
    return true;
  });
}

namespace {

// element becomes a zero-based byte array holding the value's bytes as received.
bool ByteArray(const ResultValue& v, VARIANT* element) {
  SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(v.length));
  if (!bytes) return false;
  V_VT(element) = VT_ARRAY | VT_UI1;  // owned by element from here on
  V_ARRAY(element) = bytes;
  const SafeArrayData<unsigned char> data(bytes);
  if (!data.Get()) return false;
  if (v.length) memcpy(data.Get(), v.bytes, v.length);
  return true;
}

}  // namespace

STDMETHODIMP CQueryEntriesSub::get_Bytes(VARIANT* values) {
  return ValueArray(values_, values, ByteArray);
}

bool CQueryEntriesSub::ReadDirectly(DISPID id, const DISPPARAMS& params, VARIANT* result) {
  // row.Bytes(0) in a script, as Response.BinaryWrite takes it: the array property read
  // with an index gives that one value's bytes.
  LONG index = 0;
  if (id == 3 && params.cArgs == 1 && IntegerArgument(params.rgvarg[0], &index)) {
    if (index < 0 || static_cast<size_t>(index) >= values_.size) return false;
    VariantInit(result);
    if (ByteArray(values_[static_cast<size_t>(index)], result)) return true;
    VariantClear(result);
    return false;
  }
  if (params.cArgs != 0) return false;
  if (id == 1) return SUCCEEDED(get_Value(result));
  if (id == 2) return SUCCEEDED(ValueSize(result));
  return false;
}

namespace {

constexpr DISPID kColumnDispid = 1;

// Text that is no number: result("mail") names a column, while result("2") stays the
// index it always was.
bool IsNameArgument(const VARIANT& arg) {
  const VARIANT* v = &arg;
  if (V_VT(v) == (VT_BYREF | VT_VARIANT)) v = V_VARIANTREF(v);
  const bool text = V_VT(v) == VT_BSTR || V_VT(v) == (VT_BYREF | VT_BSTR);
  LONG index = 0;
  return text && !IntegerArgument(*v, &index);
}

}  // namespace

// A name no column has is the error of an index out of range.
STDMETHODIMP CQuery::Column(BSTR name, IDispatch** column) {
  if (!column) return E_POINTER;
  *column = nullptr;
  return GuardedMember([&] {
    const CodePage cp = TextCodePage();
    const std::string wanted = ToText(name);
    for (size_t i = 0; i < tree_->columns.size() && i < items_.size(); ++i) {
      if (!EqualsNoCase(tree_->columns[i].name, wanted, cp)) continue;
      *column = items_[i].Get();
      (*column)->AddRef();
      return S_OK;
    }
    return E_INVALIDARG;
  });
}

STDMETHODIMP CQuery::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                            VARIANT* result, EXCEPINFO* exception, UINT* arg_error) {
  // The default member with a name is Column, a method: the type library's dispatcher
  // matches the kind exactly, and scripts read Item as a property.
  if (id == DISPID_VALUE && params && params->cArgs == 1 && params->cNamedArgs == 0 &&
      IsNameArgument(params->rgvarg[0])) {
    id = kColumnDispid;
    flags |= DISPATCH_METHOD;
  }
  return CollectionImpl::Invoke(id, riid, lcid, flags, params, result, exception, arg_error);
}

HRESULT FillQueryCollection(const SharedResultTree& tree, IDispatch** collection) {
  *collection = nullptr;
  ComObject<CQuery>* query = ComObject<CQuery>::New(tree);
  if (!query) return E_OUTOFMEMORY;
  ComPtr<IQuery2> owner(query);
  for (const ResultColumn& column : tree->columns) {
    ComPtr<IDispatch> item = NewItem<CQueryEntries, IQueryEntries>(tree, &column);
    if (!item) return E_OUTOFMEMORY;
    query->Append(std::move(item));
  }
  *collection = owner.Detach();
  return S_OK;
}

}  // namespace quillon
