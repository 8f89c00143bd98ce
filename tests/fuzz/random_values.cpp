#include "random_values.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <limits>
#include <set>

#include "harness.h"

namespace quillon::fuzz {

namespace {

// Pieces of text that matter to the component's parsing and conversions.
const std::vector<std::wstring> kPieces = {
    L"cn", L"CN", L"sn", L"mail", L"objectClass", L"dn", L"Dn", L"uid", L"photo",
    L"userCertificate", L"binary", L"BINARY", L";", L"\\;", L"\\", L";binary", L" ", L"\t", L"\r\n",
    L",", L"=", L"(", L")", L"*", L"(objectclass=*)", L"(cn=*)", L"ou=People", L"dc=example,dc=com",
    L"base", L"SUBTREE", L"onelevel", L"localhost", L"127.0.0.1:389", L"Add", L"All", L"Query",
    L"Z:\\fuzz\\page.asp",
    // Japanese: the second byte of these in code page 932 is '\\' or '|' (0x95 0x5C,
    // 0x83 0x5C, 0x83 0x7C), a half-width katakana is one byte, kanji are two.
    L"\u8868", L"\u30bd", L"\u30fc", L"\uff76", L"\u65e5\u672c", L"\u30c6\u30b9\u30c8",
    // Unmappable in one code page or the other, control characters, unpaired surrogates.
    L"\u20ac", L"\u00e9", L"\u0001", L"\u007f", L"\uffff",
    std::wstring(1, static_cast<wchar_t>(0xD800)), std::wstring(1, static_cast<wchar_t>(0xDFFF)),
    L"\U0001F600"};

// A 1 MiB text made once and copied: cheap enough to hand out often.
const std::wstring& HugeText() {
  static const std::wstring text = [] {
    std::wstring t(1u << 20, L'a');
    for (size_t i = 0; i < t.size(); i += 97) t[i] = (i % 3) ? L';' : L'\u8868';
    return t;
  }();
  return text;
}

BSTR Alloc(const std::wstring& text) {
  return SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

std::wstring Pieces(Rng& rng, uint32_t max_pieces) {
  std::wstring text;
  const uint32_t n = 1 + rng.Below(max_pieces);
  for (uint32_t i = 0; i < n; ++i) {
    if (rng.OneIn(12)) {
      text += static_cast<wchar_t>(rng.Below(0x10000));
    } else {
      text += rng.Pick(kPieces);
    }
  }
  return text;
}

}  // namespace

std::string RandomBytes(Rng& rng, size_t max_length) {
  static const char kInteresting[] = {'\0', ' ',    '\t',   '\n',   '\r',   ';',   '\\',
                                      '=',  '\x81', '\x9f', '\xe0', '\xfc', 'a',   'Z',
                                      ',',  '[',    ']',    '\xa0', '\x80', '\xff'};
  size_t length = rng.Below(static_cast<uint32_t>(max_length) + 1);
  if (rng.OneIn(8)) length = rng.Below(4);
  std::string bytes(length, '\0');
  for (char& c : bytes) {
    c = rng.OneIn(3) ? static_cast<char>(rng.Below(256))
                     : kInteresting[rng.Below(sizeof(kInteresting))];
  }
  // A lead byte of code page 932 with no trail byte after it.
  if (!bytes.empty() && rng.OneIn(4)) bytes.back() = '\x82';
  return bytes;
}

LONG RandomLong(Rng& rng) {
  static const LONG kEdges[] = {
      0,      1,      -1,     2,        -2,       389,          636,          65535,   65536,
      0x7FFF, 0x8000, -32768, LONG_MAX, LONG_MIN, LONG_MAX - 1, LONG_MIN + 1, 1000000, 3};
  if (rng.OneIn(4)) return static_cast<LONG>(rng.Bits());
  return kEdges[rng.Below(sizeof(kEdges) / sizeof(kEdges[0]))];
}

BSTR RandomBstr(Rng& rng) {
  switch (rng.Below(16)) {
    case 0:
      return nullptr;
    case 1:
      return SysAllocString(L"");
    case 2:
      if (rng.OneIn(16)) return Alloc(HugeText());
      return Alloc(std::wstring(300 + rng.Below(70000), L'x') + Pieces(rng, 4));
    case 3: {
      // Embedded NULs: the text is what comes before the first one.
      std::wstring text = Pieces(rng, 4);
      text.insert(rng.Below(static_cast<uint32_t>(text.size()) + 1), 1, L'\0');
      text += Pieces(rng, 3);
      return Alloc(text);
    }
    case 4: {
      // Many names: a Query with hundreds of columns.
      std::wstring list;
      const uint32_t n = 1 + rng.Below(rng.OneIn(8) ? 2000 : 40);
      for (uint32_t i = 0; i < n; ++i) {
        list += L"a" + std::to_wstring(rng.Below(50));
        list += rng.OneIn(10) ? L"\\;" : L";";
      }
      return Alloc(list);
    }
    default:
      return Alloc(Pieces(rng, 8));
  }
}

// ---- OddObject ------------------------------------------------------------------------

namespace {
std::set<OddObject*>& LiveObjects() {
  static std::set<OddObject*> live;
  return live;
}
}  // namespace

OddObject* OddObject::New(Behaviour behaviour) {
  auto* object = new OddObject(behaviour);
  object->made_during_ = CurrentAction();
  LiveObjects().insert(object);
  return object;
}

OddObject::~OddObject() {
  LiveObjects().erase(this);
}

LONG OddObject::Live() {
  return static_cast<LONG>(LiveObjects().size());
}

void OddObject::ReportLive() {
  for (const OddObject* o : LiveObjects()) {
    fprintf(stderr, "  alive: behaviour %d, %lu references, made during %s\n", o->behaviour_,
            o->refs_, o->made_during_.c_str());
  }
}

STDMETHODIMP OddObject::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
    *ppv = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) OddObject::AddRef() {
  return ++refs_;
}

STDMETHODIMP_(ULONG) OddObject::Release() {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

STDMETHODIMP OddObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

STDMETHODIMP OddObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP OddObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP OddObject::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                               EXCEPINFO* exception, UINT*) {
  // The platform's own argument coercion follows a default value that is the object
  // again without end (the component no longer does); after 64 rounds the object fails,
  // so that only the component's handling is on trial, not the platform's stack.
  if (behaviour_ == kDefaultSelf && ++self_answers_ > 64) return E_FAIL;
  if (!result) return E_POINTER;
  switch (behaviour_) {
    case kFailsEverything:
      if (exception) {
        memset(exception, 0, sizeof(*exception));
        exception->scode = E_FAIL;
        exception->bstrDescription = SysAllocString(L"failing object");
        return DISP_E_EXCEPTION;
      }
      return E_FAIL;
    case kDefaultText:
      V_VT(result) = VT_BSTR;
      V_BSTR(result) = SysAllocString(L" value\u8868 ");
      return S_OK;
    case kDefaultHuge:
      V_VT(result) = VT_BSTR;
      V_BSTR(result) = Alloc(HugeText());
      return S_OK;
    case kDefaultSelf:
      AddRef();
      V_VT(result) = VT_DISPATCH;
      V_DISPATCH(result) = this;
      return S_OK;
    case kDefaultEmpty:
      return S_OK;
    case kDefaultNumber:
      V_VT(result) = VT_I4;
      V_I4(result) = -7;
      return S_OK;
    case kDefaultNullText:
      V_VT(result) = VT_BSTR;
      V_BSTR(result) = nullptr;
      return S_OK;
    default:
      return E_UNEXPECTED;
  }
}

// ---- Arena and VARIANTs -----------------------------------------------------------------

VARIANT* Arena::NewVariant() {
  variants_.emplace_back();
  VariantInit(&variants_.back());
  return &variants_.back();
}

void Arena::Clear() {
  for (VARIANT& v : variants_) VariantClear(&v);
  variants_.clear();
}

VARIANT ByteArrayVariant(Arena& arena, const std::string& bytes, LONG lower) {
  VARIANT* v = arena.NewVariant();
  SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, lower, static_cast<ULONG>(bytes.size()));
  if (array && !bytes.empty()) {
    void* data = nullptr;
    if (SUCCEEDED(SafeArrayAccessData(array, &data))) {
      memcpy(data, bytes.data(), bytes.size());
      SafeArrayUnaccessData(array);
    }
  }
  V_VT(v) = VT_ARRAY | VT_UI1;
  V_ARRAY(v) = array;
  return *v;
}

namespace {

IDispatch* RandomObject(Rng& rng) {
  if (rng.OneIn(6)) return nullptr;
  return OddObject::New(static_cast<OddObject::Behaviour>(rng.Below(OddObject::kBehaviours)));
}

LONG RandomLowerBound(Rng& rng) {
  static const LONG kBounds[] = {0, 1, -1, -5, 100, LONG_MAX - 3, LONG_MIN, LONG_MAX};
  return rng.OneIn(5) ? static_cast<LONG>(rng.Bits()) : kBounds[rng.Below(8)];
}

ULONG RandomCount(Rng& rng) {
  static const ULONG kCounts[] = {0, 1, 2, 3, 16, 255, 4096};
  return rng.OneIn(4) ? rng.Below(300) : kCounts[rng.Below(7)];
}

// Fills one element of an array of the given element type.
void FillElement(Rng& rng, VARTYPE type, void* element) {
  switch (type) {
    case VT_BSTR:
      *static_cast<BSTR*>(element) = rng.OneIn(4) ? nullptr : SysAllocString(L"e\u8868;");
      break;
    case VT_VARIANT: {
      auto* v = static_cast<VARIANT*>(element);
      VariantInit(v);
      if (rng.OneIn(2)) {
        V_VT(v) = VT_BSTR;
        V_BSTR(v) = SysAllocString(L"text");
      } else {
        V_VT(v) = VT_I4;
        V_I4(v) = RandomLong(rng);
      }
      break;
    }
    case VT_DISPATCH:
    case VT_UNKNOWN:
      *static_cast<IDispatch**>(element) = RandomObject(rng);
      break;
    default:
      break;  // numbers: the zeroed memory or the raw bytes already written
  }
}

SAFEARRAY* RandomArray(Rng& rng, VARTYPE* element_type) {
  static const VARTYPE kTypes[] = {VT_UI1,      VT_UI1,     VT_UI1,  VT_I1,      VT_I2,
                                   VT_I4,       VT_R8,      VT_BSTR, VT_VARIANT, VT_BOOL,
                                   VT_DISPATCH, VT_UNKNOWN, VT_CY,   VT_DATE};
  const VARTYPE type = kTypes[rng.Below(sizeof(kTypes) / sizeof(kTypes[0]))];
  *element_type = type;
  const UINT dims = rng.OneIn(4) ? 1 + rng.Below(3) : 1;
  SAFEARRAYBOUND bounds[3];
  ULONGLONG total = 1;
  for (UINT d = 0; d < dims; ++d) {
    bounds[d].lLbound = RandomLowerBound(rng);
    bounds[d].cElements = RandomCount(rng);
    total *= bounds[d].cElements;
  }
  if (total > 4096) {
    // The biggest arrays keep one long dimension of at most 4096 elements.
    for (UINT d = 1; d < dims; ++d) bounds[d].cElements = 1;
    if (bounds[0].cElements > 4096) bounds[0].cElements = 4096;
  }
  SAFEARRAY* array = SafeArrayCreate(type, dims, bounds);
  if (!array) return nullptr;
  total = 1;
  for (UINT d = 0; d < dims; ++d) total *= bounds[d].cElements;
  void* data = nullptr;
  if (total && SUCCEEDED(SafeArrayAccessData(array, &data))) {
    const ULONG size = SafeArrayGetElemsize(array);
    auto* bytes = static_cast<unsigned char*>(data);
    if (type == VT_UI1 || type == VT_I1) {
      const std::string raw = RandomBytes(rng, static_cast<size_t>(total));
      memcpy(bytes, raw.data(), raw.size());
    } else {
      for (ULONGLONG i = 0; i < total; ++i) FillElement(rng, type, bytes + i * size);
    }
    SafeArrayUnaccessData(array);
  }
  return array;
}

void RandomScalar(Rng& rng, VARIANT* v) {
  switch (rng.Below(22)) {
    case 0:
      V_VT(v) = VT_EMPTY;
      break;
    case 1:
      V_VT(v) = VT_NULL;
      break;
    case 2:
      V_VT(v) = VT_I2;
      V_I2(v) = static_cast<SHORT>(RandomLong(rng));
      break;
    case 3:
      V_VT(v) = VT_I4;
      V_I4(v) = RandomLong(rng);
      break;
    case 4:
      V_VT(v) = VT_R4;
      V_R4(v) = rng.OneIn(2) ? std::numeric_limits<float>::quiet_NaN() : 3.4e38f;
      break;
    case 5: {
      static const double kDoubles[] = {std::numeric_limits<double>::infinity(),
                                        -std::numeric_limits<double>::infinity(),
                                        std::numeric_limits<double>::quiet_NaN(),
                                        1e300,
                                        -0.0,
                                        4294967296.0,
                                        2147483647.5,
                                        -2147483649.0};
      V_VT(v) = VT_R8;
      V_R8(v) = kDoubles[rng.Below(8)];
      break;
    }
    case 6:
      V_VT(v) = VT_CY;
      V_CY(v).int64 = static_cast<LONGLONG>(rng.Bits());
      break;
    case 7:
      V_VT(v) = VT_DATE;
      V_DATE(v) = rng.OneIn(2) ? 1e308 : -657435.0;
      break;
    case 8:
      V_VT(v) = VT_ERROR;
      V_ERROR(v) = rng.OneIn(2) ? DISP_E_PARAMNOTFOUND : static_cast<SCODE>(rng.Bits());
      break;
    case 9:
      V_VT(v) = VT_BOOL;
      V_BOOL(v) = static_cast<VARIANT_BOOL>(rng.OneIn(2) ? VARIANT_TRUE : rng.Bits());
      break;
    case 10:
      V_VT(v) = VT_UNKNOWN;
      V_UNKNOWN(v) = RandomObject(rng);
      break;
    case 11:
      V_VT(v) = VT_DISPATCH;
      V_DISPATCH(v) = RandomObject(rng);
      break;
    case 12:
      V_VT(v) = VT_DECIMAL;
      V_DECIMAL(v).Hi32 = 0xFFFFFFFF;
      V_DECIMAL(v).Lo64 = rng.Bits();
      V_DECIMAL(v).scale = static_cast<BYTE>(rng.Below(29));
      V_DECIMAL(v).sign = rng.OneIn(2) ? DECIMAL_NEG : 0;
      V_VT(v) = VT_DECIMAL;
      break;
    case 13:
      V_VT(v) = VT_I1;
      V_I1(v) = static_cast<CHAR>(rng.Bits());
      break;
    case 14:
      V_VT(v) = VT_UI1;
      V_UI1(v) = static_cast<BYTE>(rng.Bits());
      break;
    case 15:
      V_VT(v) = VT_UI4;
      V_UI4(v) = static_cast<ULONG>(rng.Bits());
      break;
    case 16:
      V_VT(v) = VT_I8;
      V_I8(v) = static_cast<LONGLONG>(rng.Bits());
      break;
    case 17:
      V_VT(v) = VT_UI8;
      V_UI8(v) = rng.Bits();
      break;
    case 18:
      V_VT(v) = VT_INT;
      V_INT(v) = RandomLong(rng);
      break;
    case 19:
      V_VT(v) = VT_UINT;
      V_UINT(v) = static_cast<UINT>(rng.Bits());
      break;
    case 20:
      V_VT(v) = VT_UI2;
      V_UI2(v) = static_cast<USHORT>(rng.Bits());
      break;
    default:
      V_VT(v) = VT_BSTR;
      V_BSTR(v) = RandomBstr(rng);
      break;
  }
}

// The new VARIANT in the arena, which owns what it holds.
VARIANT* MakeVariant(Rng& rng, Arena& arena, int depth) {
  VARIANT* v = arena.NewVariant();
  const uint32_t kind = rng.Below(16);
  if (kind < 5) {
    // Text is what a page passes most.
    V_VT(v) = VT_BSTR;
    V_BSTR(v) = RandomBstr(rng);
  } else if (kind < 8) {
    if (rng.OneIn(10)) {
      V_VT(v) = VT_ARRAY | VT_UI1;  // an array variant without an array
      V_ARRAY(v) = nullptr;
      return v;
    }
    VARTYPE element = VT_UI1;
    SAFEARRAY* array = RandomArray(rng, &element);
    // Now and then the label names bytes whatever the elements are.
    V_VT(v) = static_cast<VARTYPE>(VT_ARRAY | (rng.OneIn(6) ? VARTYPE{VT_UI1} : element));
    V_ARRAY(v) = array;
    if (!array) V_VT(v) = VT_EMPTY;
  } else if (kind < 11 && depth < 2) {
    // By reference: VBScript passes variables so, and a compiled client may nest them.
    VARIANT* target = MakeVariant(rng, arena, depth + 1);
    const VARTYPE type = V_VT(target);
    const bool plain = !(type & (VT_BYREF | VT_VECTOR)) && type != VT_DECIMAL &&
                       (type <= VT_UINT || (type & VT_ARRAY));
    if (!plain || rng.OneIn(2)) {
      V_VT(v) = VT_BYREF | VT_VARIANT;
      V_VARIANTREF(v) = target;
    } else {
      V_VT(v) = static_cast<VARTYPE>(VT_BYREF | type);
      V_BYREF(v) = &V_UI1(target);  // every member of the union starts here
    }
  } else if (kind == 11 && rng.OneIn(4)) {
    // Type codes no valid VARIANT carries; the payload is zero. (Never VT_BYREF: a
    // by-reference VARIANT must point at storage, and the platform's own VariantCopyInd
    // dereferences it unchecked.)
    static const VARTYPE kBogus[] = {15,      0x0FFF,     0x8003, VT_VECTOR | VT_I4,
                                     VT_VOID, VT_HRESULT, VT_PTR};
    V_VT(v) = kBogus[rng.Below(sizeof(kBogus) / sizeof(kBogus[0]))];
  } else {
    RandomScalar(rng, v);
  }
  return v;
}

}  // namespace

VARIANT RandomVariant(Rng& rng, Arena& arena, int depth) {
  return *MakeVariant(rng, arena, depth);
}

}  // namespace quillon::fuzz
