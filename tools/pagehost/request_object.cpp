#include "tools/pagehost/request_object.h"

#include <oleauto.h>

#include "module/variant.h"
#include "tools/pagehost/script_object.h"
#include "tools/pagehost/value_enum.h"

namespace pagehost {

namespace {

using quillon::ComPtr;

const Entry* Find(const Collection& c, const std::wstring& key) {
  for (const Entry& e : c) {
    if (lstrcmpiW(e.key.c_str(), key.c_str()) == 0) return &e;
  }
  return nullptr;
}

void Add(Collection* c, const std::wstring& key, const std::wstring& value) {
  for (Entry& e : *c) {
    if (lstrcmpiW(e.key.c_str(), key.c_str()) == 0) {
      e.values.push_back(value);
      return;
    }
  }
  c->push_back({key, {value}});
}

// The values of one item: its default value is all of them joined by ", ", or Empty when
// the item is absent, so that `If Request.Form("x") = ""` works for a missing field.
class StringList final : public ScriptObject<IStringList> {
 public:
  explicit StringList(std::vector<std::wstring> values) : values_(std::move(values)) {}

  STDMETHODIMP get_Item(VARIANT i, VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    if (V_VT(&i) == VT_ERROR || V_VT(&i) == VT_EMPTY) return Joined(out);
    quillon::Variant index;
    if (FAILED(VariantChangeType(index.Get(), &i, 0, VT_I4))) return E_INVALIDARG;
    const LONG n = V_I4(index.Get());
    if (n < 1 || static_cast<size_t>(n) > values_.size()) return E_INVALIDARG;
    V_VT(out) = VT_BSTR;
    V_BSTR(out) = SysAllocString(values_[n - 1].c_str());
    return S_OK;
  }
  STDMETHODIMP get_Count(int* count) override {
    if (!count) return E_POINTER;
    *count = static_cast<int>(values_.size());
    return S_OK;
  }
  STDMETHODIMP get__NewEnum(IUnknown** out) override {
    if (!out) return E_POINTER;
    *out = NewTextEnum(values_);
    return *out ? S_OK : E_OUTOFMEMORY;
  }

 protected:
  const Member* Members() const override {
    static const Member kMembers[] = {
        {L"Item", DISPID_VALUE}, {L"Count", 1}, {L"_NewEnum", DISPID_NEWENUM}, {nullptr, 0}};
    return kMembers;
  }
  REFIID OwnIid() const override { return IID_IStringList; }
  HRESULT Call(DISPID id, const Invocation& call) override {
    if (!call.IsGet()) return DISP_E_MEMBERNOTFOUND;
    if (id == 1) return call.ReturnLong(static_cast<LONG>(values_.size()));
    if (id == DISPID_NEWENUM) return ReturnEnum(call);
    if (id != DISPID_VALUE) return DISP_E_MEMBERNOTFOUND;
    if (call.args.Count() == 0) return call.result ? Joined(call.result) : S_OK;
    VARIANT ignored;
    VariantInit(&ignored);
    VARIANT* out = call.result ? call.result : &ignored;
    const HRESULT hr = get_Item(call.args[0], out);
    VariantClear(&ignored);
    return FAILED(hr) ? call.Raise(L"Request object", L"The index is out of range.", hr) : hr;
  }

 private:
  HRESULT Joined(VARIANT* out) const {
    if (values_.empty()) return S_OK;  // Empty
    std::wstring text;
    for (size_t i = 0; i < values_.size(); ++i) text += (i ? L", " : L"") + values_[i];
    V_VT(out) = VT_BSTR;
    V_BSTR(out) = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return S_OK;
  }
  HRESULT ReturnEnum(const Invocation& call) {
    if (!call.result) return S_OK;
    V_VT(call.result) = VT_UNKNOWN;
    V_UNKNOWN(call.result) = NewTextEnum(values_);
    return V_UNKNOWN(call.result) ? S_OK : E_OUTOFMEMORY;
  }

  std::vector<std::wstring> values_;
};

HRESULT NewStringList(const Entry* entry, VARIANT* out) {
  V_VT(out) = VT_DISPATCH;
  V_DISPATCH(out) = new StringList(entry ? entry->values : std::vector<std::wstring>{});
  return S_OK;
}

// One of Request's collections. Items are found by name (without regard to case) or by
// position from 1.
class RequestDictionary final : public ScriptObject<IRequestDictionary> {
 public:
  explicit RequestDictionary(std::shared_ptr<const Collection> items) : items_(std::move(items)) {}

  STDMETHODIMP get_Item(VARIANT key, VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    const Entry* entry = nullptr;
    HRESULT hr = Lookup(key, &entry);
    if (FAILED(hr)) return hr;
    return NewStringList(entry, out);
  }
  STDMETHODIMP get__NewEnum(IUnknown** out) override {
    if (!out) return E_POINTER;
    *out = NewTextEnum(Keys());
    return *out ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP get_Count(int* count) override {
    if (!count) return E_POINTER;
    *count = static_cast<int>(items_->size());
    return S_OK;
  }
  STDMETHODIMP get_Key(VARIANT key, VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    const Entry* entry = nullptr;
    const HRESULT hr = Lookup(key, &entry);
    if (FAILED(hr) || !entry) return FAILED(hr) ? hr : S_OK;
    V_VT(out) = VT_BSTR;
    V_BSTR(out) = SysAllocString(entry->key.c_str());
    return S_OK;
  }

 protected:
  const Member* Members() const override {
    static const Member kMembers[] = {{L"Item", DISPID_VALUE},
                                      {L"Count", 1},
                                      {L"Key", 2},
                                      {L"_NewEnum", DISPID_NEWENUM},
                                      {nullptr, 0}};
    return kMembers;
  }
  REFIID OwnIid() const override { return IID_IRequestDictionary; }
  HRESULT Call(DISPID id, const Invocation& call) override {
    if (!call.IsGet()) return DISP_E_MEMBERNOTFOUND;
    VARIANT ignored;
    VariantInit(&ignored);
    VARIANT* out = call.result ? call.result : &ignored;
    HRESULT hr = DISP_E_MEMBERNOTFOUND;
    if (id == 1) {
      hr = call.ReturnLong(static_cast<LONG>(items_->size()));
    } else if (id == DISPID_NEWENUM) {
      V_VT(out) = VT_UNKNOWN;
      hr = get__NewEnum(&V_UNKNOWN(out));
    } else if (id == DISPID_VALUE && call.args.Count() == 0) {
      hr = call.ReturnObject(this);  // the collection itself, as in `For Each k In Request.Form`
    } else if (id == DISPID_VALUE || (id == 2 && call.args.Count() == 1)) {
      hr = id == 2 ? get_Key(call.args[0], out) : get_Item(call.args[0], out);
      if (FAILED(hr)) hr = call.Raise(L"Request object", L"The index is out of range.", hr);
    }
    VariantClear(&ignored);
    return hr;
  }

 private:
  HRESULT Lookup(const VARIANT& key, const Entry** entry) const {
    *entry = nullptr;
    if (V_VT(&key) == VT_BSTR) {
      *entry = Find(*items_, V_BSTR(&key) ? V_BSTR(&key) : L"");
      return S_OK;
    }
    quillon::Variant converted;
    if (SUCCEEDED(VariantChangeType(converted.Get(), const_cast<VARIANT*>(&key), 0, VT_I4))) {
      const LONG n = V_I4(converted.Get());
      if (n < 1 || static_cast<size_t>(n) > items_->size()) return E_INVALIDARG;
      *entry = &(*items_)[n - 1];
      return S_OK;
    }
    if (FAILED(VariantChangeType(converted.Get(), const_cast<VARIANT*>(&key), 0, VT_BSTR)))
      return E_INVALIDARG;
    *entry = Find(*items_, V_BSTR(converted.Get()) ? V_BSTR(converted.Get()) : L"");
    return S_OK;
  }
  std::vector<std::wstring> Keys() const {
    std::vector<std::wstring> keys;
    for (const Entry& e : *items_) keys.push_back(e.key);
    return keys;
  }

  std::shared_ptr<const Collection> items_;  // shared with the Request object
};

class Request final : public ScriptObject<IRequest> {
 public:
  explicit Request(std::shared_ptr<Exchange> exchange) : exchange_(std::move(exchange)) {
    *query_ = ParseUrlEncoded(exchange_->http.query, *exchange_);
    if (const std::string* cookie = exchange_->http.Header("Cookie")) {
      *cookies_ = ParseCookies(*cookie, *exchange_);
    }
    *variables_ = MakeServerVariables(*exchange_);
  }

  STDMETHODIMP get_Item(BSTR name, IDispatch** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    const Entry* entry = FindAnywhere(name ? name : L"");
    if (entry) *out = new StringList(entry->values);
    return S_OK;
  }
  STDMETHODIMP get_QueryString(IRequestDictionary** out) override { return Dict(query_, out); }
  STDMETHODIMP get_Form(IRequestDictionary** out) override {
    if (FAILED(LoadForm())) return E_FAIL;
    return Dict(form_, out);
  }
  STDMETHODIMP get_Body(IRequestDictionary** out) override { return get_Form(out); }
  STDMETHODIMP get_ServerVariables(IRequestDictionary** out) override {
    return Dict(variables_, out);
  }
  STDMETHODIMP get_ClientCertificate(IRequestDictionary** out) override {
    return Dict(empty_, out);
  }
  STDMETHODIMP get_Cookies(IRequestDictionary** out) override { return Dict(cookies_, out); }
  STDMETHODIMP get_TotalBytes(LONG* total) override {
    if (!total) return E_POINTER;
    *total = static_cast<LONG>(exchange_->http.body.size());
    return S_OK;
  }
  STDMETHODIMP BinaryRead(VARIANT* count, VARIANT* out) override {
    if (!out) return E_POINTER;
    VariantInit(out);
    if (form_loaded_) return E_ACCESSDENIED;
    quillon::Variant wanted;
    if (!count || FAILED(VariantChangeType(wanted.Get(), count, 0, VT_I4)) ||
        V_I4(wanted.Get()) < 0) {
      return E_INVALIDARG;
    }
    const std::string& body = exchange_->http.body;
    const size_t n = std::min(body.size() - read_, static_cast<size_t>(V_I4(wanted.Get())));
    SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(n));
    if (!bytes) return E_OUTOFMEMORY;
    if (n > 0) memcpy(bytes->pvData, body.data() + read_, n);
    read_ += n;
    binary_read_ = true;
    V_VT(out) = VT_ARRAY | VT_UI1;
    V_ARRAY(out) = bytes;
    // The count says how many bytes came, as the web server's does.
    if (V_VT(count) == (VT_BYREF | VT_VARIANT) && V_VARIANTREF(count)) count = V_VARIANTREF(count);
    if (V_VT(count) == (VT_BYREF | VT_I4)) *V_I4REF(count) = static_cast<LONG>(n);
    return S_OK;
  }

 protected:
  const Member* Members() const override {
    static const Member kMembers[] = {{L"Item", DISPID_VALUE},
                                      {L"QueryString", 1},
                                      {L"Form", 2},
                                      {L"Cookies", 3},
                                      {L"ServerVariables", 4},
                                      {L"TotalBytes", 5},
                                      {L"BinaryRead", 6},
                                      {L"ClientCertificate", 7},
                                      {L"Body", 8},
                                      {nullptr, 0}};
    return kMembers;
  }
  REFIID OwnIid() const override { return IID_IRequest; }
  HRESULT Call(DISPID id, const Invocation& call) override {
    if (!call.IsGet()) return DISP_E_MEMBERNOTFOUND;
    switch (id) {
      case DISPID_VALUE:
        return CallItem(call);
      case 1:
        return Collection(query_, call);
      case 2:
      case 8:
        if (binary_read_) {
          return call.Raise(L"Request object",
                            L"Cannot use the generic Request collection or Request.Form after "
                            L"calling BinaryRead.");
        }
        LoadForm();
        return Collection(form_, call);
      case 3:
        return Collection(cookies_, call);
      case 4:
        return Collection(variables_, call);
      case 5:
        return call.ReturnLong(static_cast<LONG>(exchange_->http.body.size()));
      case 6:
        return CallBinaryRead(call);
      case 7:
        return Collection(empty_, call);
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  using Shared = std::shared_ptr<pagehost::Collection>;
  // One dictionary per collection, made on first use, so a page that reads a form field
  // a thousand times makes one.
  HRESULT Dict(const Shared& items, IRequestDictionary** out) {
    if (!out) return E_POINTER;
    const Shared* all[] = {&query_, &form_, &cookies_, &variables_, &empty_};
    size_t i = 0;
    while (all[i] != &items) ++i;
    if (!dictionaries_[i])
      dictionaries_[i] = ComPtr<IRequestDictionary>(new RequestDictionary(items));
    *out = dictionaries_[i].Get();
    (*out)->AddRef();
    return S_OK;
  }
  HRESULT Collection(const Shared& items, const Invocation& call) {
    ComPtr<IRequestDictionary> dict;
    Dict(items, dict.Put());
    return ObjectProperty(dict.Get(), call);
  }
  HRESULT LoadForm() {
    if (form_loaded_) return S_OK;
    form_loaded_ = true;
    const std::string* type = exchange_->http.Header("Content-Type");
    if (type && _strnicmp(type->c_str(), "application/x-www-form-urlencoded", 33) == 0) {
      *form_ = ParseUrlEncoded(exchange_->http.body, *exchange_);
    }
    return S_OK;
  }
  const Entry* FindAnywhere(const std::wstring& name) {
    if (!binary_read_) LoadForm();
    for (const pagehost::Collection* c :
         {query_.get(), form_.get(), cookies_.get(), variables_.get()}) {
      if (const Entry* e = Find(*c, name)) return e;
    }
    return nullptr;
  }
  HRESULT CallItem(const Invocation& call) {
    if (call.args.Count() == 0) return call.ReturnObject(this);
    if (binary_read_) {
      return call.Raise(L"Request object",
                        L"Cannot use the generic Request collection after calling BinaryRead.");
    }
    std::wstring name;
    TextOf(call.args[0], &name);
    const Entry* entry = FindAnywhere(name);
    if (entry && call.result) NewStringList(entry, call.result);
    return S_OK;  // an unknown name gives Empty
  }
  HRESULT CallBinaryRead(const Invocation& call) {
    if (call.args.Count() != 1) return DISP_E_BADPARAMCOUNT;
    if (form_loaded_) {
      return call.Raise(L"Request object",
                        L"Cannot call BinaryRead after using Request.Form collection.");
    }
    VARIANT count = call.args[0];  // by value: the page's variable is not written back
    VARIANT ignored;
    VariantInit(&ignored);
    const HRESULT hr = BinaryRead(&count, call.result ? call.result : &ignored);
    VariantClear(&ignored);
    return FAILED(hr) ? call.Raise(L"Request object", L"BinaryRead needs a byte count.", hr) : hr;
  }

  std::shared_ptr<Exchange> exchange_;
  Shared query_ = std::make_shared<pagehost::Collection>();
  Shared form_ = std::make_shared<pagehost::Collection>();
  Shared cookies_ = std::make_shared<pagehost::Collection>();
  Shared variables_ = std::make_shared<pagehost::Collection>();
  Shared empty_ = std::make_shared<pagehost::Collection>();
  ComPtr<IRequestDictionary> dictionaries_[5];
  bool form_loaded_ = false;
  bool binary_read_ = false;
  size_t read_ = 0;
};

// Header bytes as Latin-1, as the web server hands them to pages.
std::wstring Utf16(const std::string& bytes) {
  std::wstring out;
  for (unsigned char c : bytes) out += static_cast<wchar_t>(c);
  return out;
}

}  // namespace

Collection ParseUrlEncoded(const std::string& encoded, const Exchange& exchange) {
  Collection items;
  size_t start = 0;
  while (start <= encoded.size()) {
    size_t end = encoded.find('&', start);
    if (end == std::string::npos) end = encoded.size();
    const std::string pair = encoded.substr(start, end - start);
    start = end + 1;
    if (pair.empty()) continue;
    const size_t eq = pair.find('=');
    std::string name, value;
    // A malformed escape is kept as written rather than losing the field.
    if (!PercentDecode(pair.substr(0, eq), true, &name)) name = pair.substr(0, eq);
    const std::string raw = eq == std::string::npos ? "" : pair.substr(eq + 1);
    if (!PercentDecode(raw, true, &value)) value = raw;
    Add(&items, exchange.FromPage(name), exchange.FromPage(value));
  }
  return items;
}

Collection ParseCookies(const std::string& header, const Exchange& exchange) {
  Collection items;
  size_t start = 0;
  while (start < header.size()) {
    size_t end = header.find(';', start);
    if (end == std::string::npos) end = header.size();
    std::string pair = header.substr(start, end - start);
    start = end + 1;
    while (!pair.empty() && pair[0] == ' ') pair.erase(0, 1);
    const size_t eq = pair.find('=');
    if (pair.empty() || eq == std::string::npos) continue;
    std::string value;
    if (!PercentDecode(pair.substr(eq + 1), true, &value)) value = pair.substr(eq + 1);
    Add(&items, exchange.FromPage(pair.substr(0, eq)), exchange.FromPage(value));
  }
  return items;
}

Collection MakeServerVariables(const Exchange& exchange) {
  const HttpRequest& http = exchange.http;
  Collection v;
  const std::wstring script_name = UrlOf(exchange.page);
  const std::string* host = http.Header("Host");
  std::wstring server_name = host ? Utf16(host->substr(0, host->rfind(':'))) : L"127.0.0.1";
  auto set = [&v](const wchar_t* name, const std::wstring& value) { v.push_back({name, {value}}); };
  set(L"REQUEST_METHOD", Utf16(http.method));
  set(L"SCRIPT_NAME", script_name);
  set(L"URL", script_name);
  set(L"PATH_INFO", script_name);
  set(L"PATH_TRANSLATED", JoinPath(exchange.site_root, exchange.page));
  set(L"APPL_PHYSICAL_PATH", exchange.site_root + L"\\");
  set(L"APPL_MD_PATH", L"/LM/W3SVC/1/ROOT");
  set(L"QUERY_STRING", Utf16(http.query));
  set(L"CONTENT_LENGTH", std::to_wstring(http.body.size()));
  const std::string* type = http.Header("Content-Type");
  set(L"CONTENT_TYPE", type ? Utf16(*type) : L"");
  set(L"SERVER_NAME", server_name);
  set(L"SERVER_PORT", std::to_wstring(exchange.server_port));
  set(L"SERVER_PROTOCOL", L"HTTP/1." + std::to_wstring(http.minor_version));
  set(L"SERVER_SOFTWARE", L"Quillon-PageHost");
  set(L"HTTPS", L"off");
  set(L"REMOTE_ADDR", exchange.remote_address);
  set(L"REMOTE_HOST", exchange.remote_address);
  set(L"REMOTE_PORT", std::to_wstring(exchange.remote_port));
  set(L"GATEWAY_INTERFACE", L"CGI/1.1");
  std::wstring all;
  for (const auto& [name, value] : http.headers) {
    std::wstring cgi = L"HTTP_";
    for (char c : name)
      cgi += c == '-' ? L'_' : static_cast<wchar_t>(toupper(static_cast<unsigned char>(c)));
    if (!Find(v, cgi)) set(cgi.c_str(), Utf16(value));
    all += cgi + L":" + Utf16(value) + L"\r\n";
  }
  set(L"ALL_HTTP", all);
  return v;
}

IRequest* NewRequest(std::shared_ptr<Exchange> exchange) {
  return new Request(std::move(exchange));
}

}  // namespace pagehost
