#include <windows.h>
#include <oleauto.h>

#include "module/com_ptr.h"
#include "tools/pagehost/intrinsics.h"
#include "tools/pagehost/script_object.h"
#include "tools/pagehost/text_coding.h"

namespace pagehost {

namespace {

constexpr wchar_t kSource[] = L"Response object";

// A value that may not break a header line (no CR, LF or NUL).
bool IsHeaderSafe(const std::string& s) {
  return s.find_first_of("\r\n", 0) == std::string::npos && s.find('\0') == std::string::npos;
}

class Response;

// Response.Cookies("name"): its default member sets the value; Path is the one attribute.
class ResponseCookie final : public ScriptObject<IDispatch> {
 public:
  ResponseCookie(std::shared_ptr<Exchange> exchange, size_t index)
      : exchange_(std::move(exchange)), index_(index) {}

 protected:
  const Member* Members() const override {
    static const Member kMembers[] = {{L"Item", DISPID_VALUE}, {L"Path", 1}, {nullptr, 0}};
    return kMembers;
  }
  HRESULT Call(DISPID id, const Invocation& call) override {
    Cookie& cookie = exchange_->answer.cookies[index_];
    std::wstring text;
    if (call.IsPut() && call.PutValue() && TextOf(*call.PutValue(), &text)) {
      if (exchange_->answer.head_sent)
        return call.Raise(kSource, L"The HTTP headers are already written to the client.");
      if (id == DISPID_VALUE) cookie.value = UrlEncode(exchange_->ToPage(text));
      if (id == 1) cookie.path = UrlPathEncode(exchange_->ToPage(text));
      return S_OK;
    }
    if (call.IsGet() && id == DISPID_VALUE)
      return call.ReturnText(exchange_->FromPage(UrlDecode(cookie.value)));
    if (call.IsGet() && id == 1) return call.ReturnText(exchange_->FromPage(cookie.path));
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  std::shared_ptr<Exchange> exchange_;
  size_t index_;
};

// Response.Cookies: by name, made on first use.
class ResponseCookies final : public ScriptObject<IDispatch> {
 public:
  explicit ResponseCookies(std::shared_ptr<Exchange> exchange) : exchange_(std::move(exchange)) {}

 protected:
  const Member* Members() const override {
    static const Member kMembers[] = {{L"Item", DISPID_VALUE}, {nullptr, 0}};
    return kMembers;
  }
  HRESULT Call(DISPID id, const Invocation& call) override {
    if (id != DISPID_VALUE) return DISP_E_MEMBERNOTFOUND;
    if (call.args.Count() == 0)
      return call.IsGet() ? call.ReturnObject(this) : DISP_E_BADPARAMCOUNT;
    std::wstring name;
    TextOf(call.args[0], &name);
    const std::string encoded = UrlEncode(exchange_->ToPage(name));
    if (encoded.empty()) return call.Raise(kSource, L"A cookie needs a name.");
    auto& cookies = exchange_->answer.cookies;
    size_t i = 0;
    while (i < cookies.size() && cookies[i].name != encoded) ++i;
    if (i == cookies.size()) cookies.push_back({encoded, "", "/"});
    quillon::ComPtr<IDispatch> cookie(new ResponseCookie(exchange_, i));
    if (call.IsPut()) {
      DISPPARAMS value = {const_cast<VARIANT*>(call.PutValue()), call.params->rgdispidNamedArgs, 1,
                          1};
      if (!call.PutValue()) return DISP_E_BADPARAMCOUNT;
      return cookie->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYPUT, &value, nullptr,
                            call.exception, nullptr);
    }
    return call.ReturnObject(cookie.Get());
  }

 private:
  std::shared_ptr<Exchange> exchange_;
};

class Response final : public ScriptObject<IDispatch> {
 public:
  explicit Response(std::shared_ptr<Exchange> exchange)
      : exchange_(std::move(exchange)), cookies_(new ResponseCookies(exchange_)) {}

 protected:
  enum : DISPID {
    kWrite = 1,
    kBinaryWrite,
    kContentType,
    kStatus,
    kRedirect,
    kClear,
    kFlush,
    kEnd,
    kBuffer,
    kCookies,
    kAddHeader,
    kWriteBlock,
    kCharset,
    kCodePage,
    kIsClientConnected,
    kCacheControl,
    kExpires
  };
  const Member* Members() const override {
    static const Member kMembers[] = {{L"Write", kWrite},
                                      {L"BinaryWrite", kBinaryWrite},
                                      {L"ContentType", kContentType},
                                      {L"Status", kStatus},
                                      {L"Redirect", kRedirect},
                                      {L"Clear", kClear},
                                      {L"Flush", kFlush},
                                      {L"End", kEnd},
                                      {L"Buffer", kBuffer},
                                      {L"Cookies", kCookies},
                                      {L"AddHeader", kAddHeader},
                                      {L"WriteBlock", kWriteBlock},
                                      {L"Charset", kCharset},
                                      {L"CodePage", kCodePage},
                                      {L"IsClientConnected", kIsClientConnected},
                                      {L"CacheControl", kCacheControl},
                                      {L"Expires", kExpires},
                                      {nullptr, 0}};
    return kMembers;
  }

  HRESULT Call(DISPID id, const Invocation& call) override {
    Answer& a = exchange_->answer;
    // After End every call ends the page again, so `On Error Resume Next` cannot write on.
    if (a.ended) return call.Raise(kSource, L"The page has ended.", kPageEnded);
    switch (id) {
      case kWrite:
        return Write(call);
      case kWriteBlock:
        return WriteBlock(call);
      case kBinaryWrite:
        return BinaryWrite(call);
      case kContentType:
        return HeaderProperty(call, &a.content_type);
      case kCharset:
        return HeaderProperty(call, &a.charset);
      case kCacheControl:
        return CacheControl(call);
      case kStatus:
        return Status(call);
      case kRedirect:
        return Redirect(call);
      case kClear:
        if (!a.buffering) return call.Raise(kSource, L"Clear needs Response.Buffer to be True.");
        a.body.clear();
        return S_OK;
      case kFlush:
        if (!a.buffering) return call.Raise(kSource, L"Flush needs Response.Buffer to be True.");
        exchange_->SendBuffered();
        return S_OK;
      case kEnd:
        a.ended = true;
        return call.Raise(kSource, L"The page has ended.", kPageEnded);
      case kBuffer:
        return Buffer(call);
      case kCookies:
        return ObjectProperty(cookies_.Get(), call);
      case kAddHeader:
        return AddHeader(call);
      case kCodePage:
        return CodePage(call);
      case kIsClientConnected:
        return call.ReturnBool(exchange_->sink != nullptr);
      case kExpires:
        return call.IsPut() ? S_OK : call.ReturnLong(0);
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  HRESULT Emitted() {
    if (!exchange_->answer.buffering) exchange_->SendBuffered();
    return S_OK;
  }
  HRESULT Write(const Invocation& call) {
    if (call.args.Count() != 1) return DISP_E_BADPARAMCOUNT;
    std::wstring text;
    if (!TextOf(call.args[0], &text))
      return call.Raise(kSource,
                        L"Write cannot show this value (an object without a default value?).",
                        DISP_E_TYPEMISMATCH);
    exchange_->answer.body += exchange_->ToPage(text);
    return Emitted();
  }
  HRESULT WriteBlock(const Invocation& call) {
    LONG n = -1;
    if (call.args.Count() == 1 && V_VT(&call.args[0]) == VT_I2) n = V_I2(&call.args[0]);
    if (call.args.Count() == 1 && V_VT(&call.args[0]) == VT_I4) n = V_I4(&call.args[0]);
    const auto* blocks = exchange_->blocks;
    if (!blocks || n < 0 || static_cast<size_t>(n) >= blocks->size()) return DISP_E_BADINDEX;
    exchange_->answer.body += (*blocks)[n];
    return Emitted();
  }
  HRESULT BinaryWrite(const Invocation& call) {
    if (call.args.Count() != 1) return DISP_E_BADPARAMCOUNT;
    const VARIANT& v = call.args[0];
    SAFEARRAY* array = nullptr;
    if (V_VT(&v) == (VT_ARRAY | VT_UI1)) array = V_ARRAY(&v);
    if (V_VT(&v) == (VT_BYREF | VT_ARRAY | VT_UI1) && V_ARRAYREF(&v)) array = *V_ARRAYREF(&v);
    if (!array || SafeArrayGetDim(array) != 1) {
      return call.Raise(kSource, L"BinaryWrite needs an array of bytes.", DISP_E_TYPEMISMATCH);
    }
    LONG low = 0, high = -1;
    SafeArrayGetLBound(array, 1, &low);
    SafeArrayGetUBound(array, 1, &high);
    void* data = nullptr;
    if (high >= low && SUCCEEDED(SafeArrayAccessData(array, &data))) {
      exchange_->answer.body.append(static_cast<const char*>(data), high - low + 1);
      SafeArrayUnaccessData(array);
    }
    return Emitted();
  }
  HRESULT HeaderProperty(const Invocation& call, std::string* field) {
    if (call.IsPut()) {
      std::wstring text;
      if (!call.PutValue() || !TextOf(*call.PutValue(), &text)) return DISP_E_TYPEMISMATCH;
      if (exchange_->answer.head_sent)
        return call.Raise(kSource, L"The HTTP headers are already written to the client.");
      const std::string bytes = exchange_->ToPage(text);
      if (!IsHeaderSafe(bytes))
        return call.Raise(kSource, L"A header value may not contain line breaks.");
      *field = bytes;
      return S_OK;
    }
    return call.ReturnText(exchange_->FromPage(*field));
  }
  HRESULT CacheControl(const Invocation& call) {
    if (!call.IsPut()) return call.ReturnText(L"private");
    std::string value;
    HRESULT hr = HeaderProperty(call, &value);
    if (SUCCEEDED(hr)) exchange_->answer.headers.emplace_back("Cache-Control", value);
    return hr;
  }
  HRESULT Status(const Invocation& call) {
    Answer& a = exchange_->answer;
    if (!call.IsPut()) return call.ReturnText(exchange_->FromPage(a.status_line));
    std::string line;
    HRESULT hr = HeaderProperty(call, &line);
    if (FAILED(hr)) return hr;
    // "404 Not Found": three digits, a blank, a reason.
    if (line.size() < 3 || !isdigit(static_cast<unsigned char>(line[0])) ||
        !isdigit(static_cast<unsigned char>(line[1])) ||
        !isdigit(static_cast<unsigned char>(line[2])) || line[0] < '1' || line[0] > '5' ||
        (line.size() > 3 && line[3] != ' ')) {
      return call.Raise(kSource,
                        L"Status must start with a three-digit code, as in \"404 Not Found\".");
    }
    a.status = atoi(line.substr(0, 3).c_str());
    a.status_line = line.size() > 3 ? line : line + " Status";
    return S_OK;
  }
  HRESULT Redirect(const Invocation& call) {
    Answer& a = exchange_->answer;
    std::wstring url;
    if (call.args.Count() != 1 || !TextOf(call.args[0], &url)) return DISP_E_BADPARAMCOUNT;
    const std::string location = UrlPathEncode(exchange_->ToPage(url));
    if (a.head_sent)
      return call.Raise(kSource, L"Redirect after the HTTP headers were written to the client.");
    a.status = 302;
    a.status_line = "302 Object moved";
    a.headers.emplace_back("Location", location);
    a.body =
        "<head><title>Object moved</title></head><body><h1>Object Moved</h1>This object may be "
        "found <a href=\"" +
        HtmlEncode(location) + "\">here</a>.</body>\r\n";
    a.ended = true;
    return call.Raise(kSource, L"The page has ended.", kPageEnded);
  }
  HRESULT Buffer(const Invocation& call) {
    Answer& a = exchange_->answer;
    if (!call.IsPut()) return call.ReturnBool(a.buffering);
    VARIANT on;
    VariantInit(&on);
    if (!call.PutValue() || FAILED(VariantChangeType(&on, call.PutValue(), 0, VT_BOOL)))
      return DISP_E_TYPEMISMATCH;
    if (a.head_sent) return call.Raise(kSource, L"Buffer cannot change after output was sent.");
    a.buffering = V_BOOL(&on) != VARIANT_FALSE;
    return S_OK;
  }
  HRESULT AddHeader(const Invocation& call) {
    std::wstring name, value;
    if (call.args.Count() != 2 || !TextOf(call.args[0], &name) || !TextOf(call.args[1], &value)) {
      return DISP_E_BADPARAMCOUNT;
    }
    const std::string n = exchange_->ToPage(name), v = exchange_->ToPage(value);
    if (exchange_->answer.head_sent)
      return call.Raise(kSource, L"The HTTP headers are already written to the client.");
    if (n.empty() || n.find_first_of(" :\t") != std::string::npos || !IsHeaderSafe(n) ||
        !IsHeaderSafe(v)) {
      return call.Raise(kSource, L"AddHeader needs a header name and a value without line breaks.");
    }
    exchange_->answer.headers.emplace_back(n, v);
    return S_OK;
  }
  HRESULT CodePage(const Invocation& call) {
    if (!call.IsPut())
      return call.ReturnLong(
          static_cast<LONG>(exchange_->code_page == CP_ACP ? GetACP() : exchange_->code_page));
    VARIANT page;
    VariantInit(&page);
    if (!call.PutValue() || FAILED(VariantChangeType(&page, call.PutValue(), 0, VT_I4)))
      return DISP_E_TYPEMISMATCH;
    CPINFO info;
    if (!GetCPInfo(V_I4(&page), &info))
      return call.Raise(kSource, L"The code page is not installed.");
    exchange_->code_page = V_I4(&page);
    return S_OK;
  }

  std::shared_ptr<Exchange> exchange_;
  quillon::ComPtr<IDispatch> cookies_;
};

}  // namespace

IDispatch* NewResponse(std::shared_ptr<Exchange> exchange) {
  return new Response(std::move(exchange));
}

}  // namespace pagehost
