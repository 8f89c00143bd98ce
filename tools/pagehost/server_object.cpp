#include <windows.h>
#include <oleauto.h>

#include "module/com_ptr.h"
#include "tools/pagehost/intrinsics.h"
#include "tools/pagehost/script_object.h"
#include "tools/pagehost/text_coding.h"

namespace pagehost {

namespace {

constexpr wchar_t kSource[] = L"Server object";

class Server final : public ScriptObject<IDispatch> {
 public:
  explicit Server(std::shared_ptr<Exchange> exchange) : exchange_(std::move(exchange)) {}

 protected:
  enum : DISPID {
    kCreateObject = 1,
    kHtmlEncode,
    kUrlEncode,
    kMapPath,
    kScriptTimeout,
    kUrlPathEncode
  };
  const Member* Members() const override {
    static const Member kMembers[] = {{L"CreateObject", kCreateObject},
                                      {L"HTMLEncode", kHtmlEncode},
                                      {L"URLEncode", kUrlEncode},
                                      {L"MapPath", kMapPath},
                                      {L"ScriptTimeout", kScriptTimeout},
                                      {L"URLPathEncode", kUrlPathEncode},
                                      {nullptr, 0}};
    return kMembers;
  }
  HRESULT Call(DISPID id, const Invocation& call) override {
    if (id == kScriptTimeout) return ScriptTimeout(call);
    std::wstring text;
    if (call.args.Count() != 1) return DISP_E_BADPARAMCOUNT;
    if (!TextOf(call.args[0], &text))
      return call.Raise(kSource, L"The argument has no text.", DISP_E_TYPEMISMATCH);
    switch (id) {
      case kCreateObject:
        return CreateObject(text, call);
      case kHtmlEncode:
        return call.ReturnText(HtmlEncode(text));
      case kUrlEncode:
        return call.ReturnText(exchange_->FromPage(UrlEncode(exchange_->ToPage(text))));
      case kUrlPathEncode:
        return call.ReturnText(exchange_->FromPage(UrlPathEncode(exchange_->ToPage(text))));
      case kMapPath:
        return MapPath(text, call);
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  HRESULT CreateObject(const std::wstring& prog_id, const Invocation& call) {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(prog_id.c_str(), &clsid);
    if (FAILED(hr))
      return call.Raise(kSource,
                        L"Server.CreateObject failed: invalid ProgID \"" + prog_id + L"\".", hr);
    quillon::ComPtr<IDispatch> object;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                          object.PutVoid());
    if (FAILED(hr))
      return call.Raise(kSource, L"Server.CreateObject failed to make \"" + prog_id + L"\".", hr);
    return call.ReturnObject(object.Get());
  }
  // A path from the site root ("/x") or from the page's folder, never outside the site.
  HRESULT MapPath(const std::wstring& path, const Invocation& call) {
    const bool from_root = !path.empty() && (path[0] == L'/' || path[0] == L'\\');
    SitePath resolved;
    const bool root_itself = path == L"/" || path == L"\\";
    if (root_itself) return call.ReturnText(exchange_->site_root);
    if (path.empty()) {
      resolved = exchange_->page;
      resolved.pop_back();
      return call.ReturnText(JoinPath(exchange_->site_root, resolved));
    }
    if (!ResolveIncludePath(exchange_->page, path, from_root, &resolved)) {
      return call.Raise(kSource, L"MapPath: the path \"" + path + L"\" is not inside the site.",
                        E_INVALIDARG);
    }
    return call.ReturnText(JoinPath(exchange_->site_root, resolved));
  }
  HRESULT ScriptTimeout(const Invocation& call) {
    if (!call.IsPut()) return call.ReturnLong(exchange_->script_timeout);
    VARIANT seconds;
    VariantInit(&seconds);
    if (!call.PutValue() || FAILED(VariantChangeType(&seconds, call.PutValue(), 0, VT_I4)) ||
        V_I4(&seconds) <= 0) {
      return call.Raise(kSource, L"ScriptTimeout takes a number of seconds above 0.",
                        DISP_E_TYPEMISMATCH);
    }
    InterlockedExchange(&exchange_->script_timeout, V_I4(&seconds));
    return S_OK;
  }

  std::shared_ptr<Exchange> exchange_;
};

}  // namespace

IDispatch* NewServer(std::shared_ptr<Exchange> exchange) {
  return new Server(std::move(exchange));
}

}  // namespace pagehost
