#include <windows.h>
#include <oleauto.h>

#include "module/com_ptr.h"
#include "tools/pagehost/host_state.h"
#include "tools/pagehost/intrinsics.h"
#include "tools/pagehost/request_object.h"
#include "tools/pagehost/script_object.h"
#include "tools/pagehost/value_enum.h"

namespace pagehost {

namespace {

using quillon::ComPtr;

// Session("x") and Application("x"): a value store behind a default member.
HRESULT StoreItem(ValueStore& store, const wchar_t* source, const Invocation& call) {
  if (call.args.Count() != 1) return DISP_E_BADPARAMCOUNT;
  std::wstring name;
  TextOf(call.args[0], &name);
  if (call.IsPut()) {
    if (!call.PutValue()) return DISP_E_BADPARAMCOUNT;
    if (!store.Put(name, *call.PutValue())) {
      return call.Raise(source,
                        L"Only plain values (text, numbers, dates, arrays of them) can be stored "
                        L"here, not objects.",
                        DISP_E_TYPEMISMATCH);
    }
    return S_OK;
  }
  if (call.result) store.Get(name, call.result);
  return S_OK;
}

HRESULT ReturnNames(ValueStore& store, const Invocation& call) {
  if (!call.result) return S_OK;
  V_VT(call.result) = VT_UNKNOWN;
  V_UNKNOWN(call.result) = NewTextEnum(store.Names());
  return V_UNKNOWN(call.result) ? S_OK : E_OUTOFMEMORY;
}

class Session final : public ScriptObject<IDispatch> {
 public:
  Session(std::shared_ptr<Exchange> exchange, HostState* host)
      : exchange_(std::move(exchange)), host_(host) {}

 protected:
  enum : DISPID { kContents = 1, kSessionId, kTimeout, kAbandon, kCodePage };
  const Member* Members() const override {
    static const Member kMembers[] = {
        {L"Item", DISPID_VALUE},    {L"Value", DISPID_VALUE},      {L"Contents", kContents},
        {L"SessionID", kSessionId}, {L"Timeout", kTimeout},        {L"Abandon", kAbandon},
        {L"CodePage", kCodePage},   {L"_NewEnum", DISPID_NEWENUM}, {nullptr, 0}};
    return kMembers;
  }
  HRESULT Call(DISPID id, const Invocation& call) override {
    SessionState& state = *exchange_->session;
    switch (id) {
      case DISPID_VALUE:
        return call.args.Count() == 0 ? call.ReturnObject(this)
                                      : StoreItem(state.Values(), L"Session object", call);
      case kContents:
        return ObjectProperty(this, call);
      case DISPID_NEWENUM:
        return ReturnNames(state.Values(), call);
      case kSessionId: {
        const std::string& id_text = state.Id();
        return call.ReturnText(std::wstring(id_text.begin(), id_text.end()));
      }
      case kTimeout:
        return Timeout(state, call);
      case kAbandon:
        // The values stay readable until the page ends, as on the web server.
        exchange_->session_abandoned = true;
        return S_OK;
      case kCodePage:
        return call.ReturnLong(
            static_cast<LONG>(exchange_->code_page == CP_ACP ? GetACP() : exchange_->code_page));
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  HRESULT Timeout(SessionState& state, const Invocation& call) {
    if (!call.IsPut()) return call.ReturnLong(state.timeout_minutes);
    VARIANT minutes;
    VariantInit(&minutes);
    if (!call.PutValue() || FAILED(VariantChangeType(&minutes, call.PutValue(), 0, VT_I4)) ||
        V_I4(&minutes) <= 0) {
      return call.Raise(L"Session object", L"Timeout takes a number of minutes above 0.",
                        DISP_E_TYPEMISMATCH);
    }
    state.timeout_minutes = V_I4(&minutes);
    return S_OK;
  }

  std::shared_ptr<Exchange> exchange_;
  HostState* host_;
};

class Application final : public ScriptObject<IDispatch> {
 public:
  Application(std::shared_ptr<Exchange> exchange, HostState* host)
      : exchange_(std::move(exchange)), host_(host) {}

 protected:
  enum : DISPID { kContents = 1, kLock, kUnlock };
  const Member* Members() const override {
    static const Member kMembers[] = {{L"Item", DISPID_VALUE},
                                      {L"Value", DISPID_VALUE},
                                      {L"Contents", kContents},
                                      {L"Lock", kLock},
                                      {L"Unlock", kUnlock},
                                      {L"_NewEnum", DISPID_NEWENUM},
                                      {nullptr, 0}};
    return kMembers;
  }
  HRESULT Call(DISPID id, const Invocation& call) override {
    switch (id) {
      case DISPID_VALUE:
        return call.args.Count() == 0
                   ? call.ReturnObject(this)
                   : StoreItem(host_->Application(), L"Application object", call);
      case kContents:
        return ObjectProperty(this, call);
      case DISPID_NEWENUM:
        return ReturnNames(host_->Application(), call);
      case kLock:
        host_->LockApplication();
        ++exchange_->application_locks;
        return S_OK;
      case kUnlock:
        if (exchange_->application_locks > 0) {
          --exchange_->application_locks;
          host_->UnlockApplication();
        }
        return S_OK;
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  std::shared_ptr<Exchange> exchange_;
  HostState* host_;
};

// The one item the engines see, with SCRIPTITEM_GLOBALMEMBERS: its properties are the
// intrinsic objects, and a property called with arguments reaches the object's default
// member (Request("q"), Session("user") = name).
class PageGlobals final : public ScriptObject<IDispatch> {
 public:
  PageGlobals(std::shared_ptr<Exchange> exchange, HostState* host, IDispatch* request)
      : exchange_(std::move(exchange)),
        host_(host),
        request_(ComPtr<IDispatch>::Share(request)),
        response_(NewResponse(exchange_)),
        server_(NewServer(exchange_)),
        application_(new Application(exchange_, host)) {}

 protected:
  enum : DISPID { kRequest = 1, kResponse, kServer, kSession, kApplication };
  const Member* Members() const override {
    static const Member kMembers[] = {{L"Request", kRequest},         {L"Response", kResponse},
                                      {L"Server", kServer},           {L"Session", kSession},
                                      {L"Application", kApplication}, {nullptr, 0}};
    return kMembers;
  }
  HRESULT Call(DISPID id, const Invocation& call) override {
    switch (id) {
      case kRequest:
        return ObjectProperty(request_.Get(), call);
      case kResponse:
        return ObjectProperty(response_.Get(), call);
      case kServer:
        return ObjectProperty(server_.Get(), call);
      case kSession:
        return ObjectProperty(SessionObject(), call);
      case kApplication:
        return ObjectProperty(application_.Get(), call);
    }
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  // The session of the request's cookie, or a new one (sent with the answer) on first use.
  IDispatch* SessionObject() {
    if (session_) return session_.Get();
    if (!exchange_->session) {
      if (const std::string* cookies = exchange_->http.Header("Cookie")) {
        for (const Entry& e : ParseCookies(*cookies, *exchange_)) {
          if (lstrcmpiW(e.key.c_str(), L"ASPSESSIONIDQUILLON") == 0 && !e.values.empty()) {
            exchange_->session = host_->FindSession(exchange_->ToPage(e.values[0]));
          }
        }
      }
      if (!exchange_->session) {
        exchange_->session = host_->NewSession();
        exchange_->new_session_cookie = std::string(HostState::kSessionCookie) + "=" +
                                        exchange_->session->Id() + "; path=/; HttpOnly";
      }
    }
    session_ = ComPtr<IDispatch>(new Session(exchange_, host_));
    return session_.Get();
  }

  std::shared_ptr<Exchange> exchange_;
  HostState* host_;
  ComPtr<IDispatch> request_, response_, server_, application_, session_;
};

}  // namespace

IDispatch* NewPageGlobals(std::shared_ptr<Exchange> exchange, HostState* host, IDispatch* request) {
  return new PageGlobals(std::move(exchange), host, request);
}

}  // namespace pagehost
