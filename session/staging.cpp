// Implementation details:
// - Buffers. A text value holds its UTF-8 text and a zero byte. A string staged with a
//   declared size of 0 or more is binary data carried in a string: its buffer holds the
//   string's own bytes as they are in memory (UTF-16LE), the first declared-size of them,
//   zero-padded, and a zero byte. A byte array holds its bytes and one hidden zero byte,
//   so that an attribute sent as text can never read past the end of a value.
// - VBScript passes a variable by reference; its value decides, as a literal's would.
// - AttributeModify text values never join an earlier record: two replacements of one
//   attribute stay two modifications, in call order. Everything else joins the earliest
//   record of the same name staged after the latest removal of that name, so that Modify
//   sends additions and removals in call order.
#include "session/staging.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "module/safe_array.h"
#include "module/variant.h"

namespace quillon {

namespace {

// Makes sure one more element can be appended without allocating (growing by doubling,
// as push_back would).
template <class T>
void RoomForOneMore(std::vector<T>& v) {
  if (v.size() == v.capacity()) v.reserve(v.size() < 4 ? 4 : v.size() * 2);
}

// A zeroed buffer, or null when the size asked for cannot be had.
std::unique_ptr<unsigned char[]> ZeroBuffer(size_t n) {
  return std::unique_ptr<unsigned char[]>(new (std::nothrow) unsigned char[n]());
}

// The bytes an array's data block holds: the element size times every dimension's count.
ULONGLONG DataBytes(const SAFEARRAY* array) {
  ULONGLONG total = array->cbElements;
  for (USHORT d = 0; d < array->cDims; ++d) {
    const ULONG n = array->rgsabound[d].cElements;
    if (n != 0 && total > ULLONG_MAX / n) return ULLONG_MAX;
    total *= n;
  }
  return total;
}

// How many objects deep a default value is followed: a form field wrapped once or twice
// is text at the end; an object whose default value is itself never is.
constexpr int kDefaultValueLevels = 8;

// The default value of an object as a BSTR, fetched as the platform's conversion fetches
// it (DISPID_VALUE, property get, no arguments) but level by level: an object whose default
// value is an object sends VariantChangeType round again, and one whose default value is
// itself (a script class whose default property returns Me) never comes back until the
// stack runs out.
bool DefaultValueText(const VARIANT& object, VARIANT* text) {
  Variant current;
  if (FAILED(VariantCopy(current.Get(), const_cast<VARIANT*>(&object)))) return false;
  for (int level = 0; V_VT(current.Get()) == VT_DISPATCH; ++level) {
    IDispatch* dispatch = V_DISPATCH(current.Get());
    if (!dispatch || level == kDefaultValueLevels) return false;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    Variant value;
    if (FAILED(dispatch->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET,
                                &none, value.Get(), nullptr, nullptr))) {
      return false;
    }
    if (FAILED(VariantCopyInd(current.Put(), value.Get()))) return false;
  }
  return SUCCEEDED(VariantChangeType(text, current.Get(), 0, VT_BSTR));
}

bool StageText(LdapFields& f, StagingMethod method, BSTR name, const VARIANT& value,
               long declared_size, long add_flag) {
  const CodePage cp = TextCodePage();
  std::string text_name = ToText(name);
  if (text_name.empty()) return false;
  std::unique_ptr<unsigned char[]> buffer;
  size_t length = 0;
  if (V_VT(&value) == VT_BSTR && declared_size >= 0) {
    length = static_cast<size_t>(declared_size) + 1;
    buffer = ZeroBuffer(length);
    if (!buffer) return false;
    const BSTR s = V_BSTR(&value);
    const size_t copied = std::min<size_t>(declared_size, SysStringByteLen(s));
    if (copied) memcpy(buffer.get(), s, copied);
  } else {
    std::string text;
    if (V_VT(&value) == VT_DISPATCH) {
      // The object's default value, as a page reads Request.Form("x") without the call.
      Variant converted;
      if (!DefaultValueText(value, converted.Get())) return false;
      text = ToText(V_BSTR(converted.Get()));
    } else {
      text = ToText(V_BSTR(&value));
    }
    length = text.size() + 1;
    buffer = ZeroBuffer(length);
    if (!buffer) return false;
    memcpy(buffer.get(), text.data(), text.size());
  }
  PlaceStagedValue(f, std::move(text_name), std::move(buffer), length, declared_size, add_flag,
                   method == StagingMethod::kAttributeAdd, cp, method);
  return true;
}

bool StageBytes(LdapFields& f, StagingMethod method, BSTR name, const VARIANT& value,
                long declared_size, long add_flag) {
  const CodePage cp = TextCodePage();
  std::string text_name = ToText(name);  // an empty name is staged as it is
  SAFEARRAY* array = V_ARRAY(&value);
  LONG lower = 0;
  LONG upper = 0;
  if (!array || FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
      FAILED(SafeArrayGetUBound(array, 1, &upper))) {
    return false;
  }
  const LONGLONG count = static_cast<LONGLONG>(upper) - lower + 1;
  // The first dimension alone may claim more bytes than the data holds (another dimension
  // of no elements): such an array is refused rather than read past its end.
  if (count <= 0 || static_cast<ULONGLONG>(count) > DataBytes(array)) return false;
  const SafeArrayData<unsigned char> data(array);
  if (!data.Get()) return false;
  const size_t length = static_cast<size_t>(count);
  std::unique_ptr<unsigned char[]> buffer = ZeroBuffer(length + 1);
  if (!buffer) return false;
  memcpy(buffer.get(), data.Get(), length);
  PlaceStagedValue(f, std::move(text_name), std::move(buffer), length, declared_size, add_flag,
                   method != StagingMethod::kAttributeDelete, cp, method);
  return true;
}

}  // namespace

StagedAttribute* FindStagedAttribute(LdapFields& f, std::string_view name, const CodePage& cp) {
  // Only records staged after the latest removal of the name count: joining an earlier one
  // would send the value before the removal, which then takes it away again.
  StagedAttribute* earliest = nullptr;
  for (auto record = f.staged_attributes.rbegin(); record != f.staged_attributes.rend();
       ++record) {
    if (!EqualsNoCase(record->name, name, cp)) continue;
    if (record->remove) break;
    earliest = &*record;
  }
  return earliest;
}

void ClearStagedAttributes(LdapFields& f) {
  f.staged_value_pool.clear();
  f.staged_attributes.clear();
}

void PlaceStagedValue(LdapFields& f, std::string name, std::unique_ptr<unsigned char[]> buffer,
                      size_t length, long declared_size, long add_flag, bool join,
                      const CodePage& cp, StagingMethod method) {
  // Everything that can run out of memory happens before the list changes, so that a
  // failure leaves no buffer without a record and no value without its size.
  std::string size_text = std::to_string(declared_size);
  RoomForOneMore(f.staged_value_pool);
  RoomForOneMore(f.staged_attributes);
  StagedAttribute* record = join ? FindStagedAttribute(f, name, cp) : nullptr;
  StagedAttribute fresh;
  StagedAttribute* target = record ? record : &fresh;
  RoomForOneMore(target->values);
  RoomForOneMore(target->sizes);
  target->values.push_back(StagedValue{buffer.get(), length});
  target->sizes.push_back(std::move(size_text));
  if (!record) {
    fresh.name = std::move(name);
    fresh.add_flag = add_flag;
    fresh.remove = method == StagingMethod::kAttributeDelete;
    f.staged_attributes.push_back(std::move(fresh));
  }
  f.staged_value_pool.push_back(std::move(buffer));
}

bool StageValue(LdapFields& f, StagingMethod method, BSTR name, const VARIANT& value,
                long declared_size, long add_flag) {
  Variant referenced;
  const VARIANT* v = &value;
  if (V_VT(&value) & VT_BYREF) {
    if (FAILED(VariantCopyInd(referenced.Get(), const_cast<VARIANT*>(&value)))) return false;
    v = referenced.Get();
  }
  // A record made by AttributeAdd adds its values when Modify sends it: replacing would
  // throw away the values the entry already has.
  if (method == StagingMethod::kAttributeAdd) add_flag = 1;
  switch (V_VT(v)) {
    case VT_BSTR:
    case VT_DISPATCH:
      return StageText(f, method, name, *v, declared_size, add_flag);
    case VT_ARRAY | VT_UI1:
      return StageBytes(f, method, name, *v, declared_size, add_flag);
    default:  // numbers, dates, empty, null, other arrays: a page passes them as text
      return false;
  }
}

bool IsMissingArgument(const VARIANT& value) {
  return V_VT(&value) == VT_ERROR && V_ERROR(&value) == DISP_E_PARAMNOTFOUND;
}

bool StageRemoval(LdapFields& f, BSTR name) {
  std::string text_name = ToText(name);
  if (text_name.empty()) return false;
  RoomForOneMore(f.staged_attributes);
  StagedAttribute record;
  record.name = std::move(text_name);
  record.remove = true;
  f.staged_attributes.push_back(std::move(record));
  return true;
}

}  // namespace quillon
