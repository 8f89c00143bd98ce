#include "session/connection.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <utility>

#include "module/system_message.h"
#include "module/ansi_text.h"
#include "policy/hosting_policy.h"
#include "policy/store_text.h"
#include "session/kept_connection.h"
#include "session/ldap_handles.h"

namespace quillon {

namespace {

constexpr ULONG kStandardLdapsPort = 636;

// What one connect-and-bind needs, copied out of the object so that a worker thread may
// hold it longer than the operation does.
struct ConnectRequest {
  std::string host;
  ULONG port;
  Encryption encryption;
  long max_rows, timeout;
  bool named;  // both UserName and Password set
  std::string user_name, password;
};

struct Connected {
  LdapSession session;            // bound, or empty
  ULONG rc = 0;                   // the LDAP code of the step that failed
  DWORD open_error = 0;           // the system's code when no session could be made
  const char* refusal = nullptr;  // the connect was not tried: why
};

// Writes both the session record and the session options: some libraries ignore the
// record, others hide it.
void SetLimits(LDAP* ld, const ConnectRequest& c) {
  if (c.max_rows > 0) {
    ld->ld_sizelimit = static_cast<ULONG>(c.max_rows);
    ULONG value = static_cast<ULONG>(c.max_rows);
    Ldap().set_option(ld, LDAP_OPT_SIZELIMIT, &value);
  }
  if (c.timeout > 0) {
    ld->ld_timelimit = static_cast<ULONG>(c.timeout);
    ULONG value = static_cast<ULONG>(c.timeout);
    Ldap().set_option(ld, LDAP_OPT_TIMELIMIT, &value);
  }
}

// The library's last error after an asynchronous call failed to send. Some libraries
// leave a socket error there instead of an LDAP code (Wine gives 10057 for a refused
// connection); a request that could not be sent means the server is not reachable.
ULONG LastLdapError() {
  const ULONG error = Ldap().get_last_error();
  const bool is_ldap_code = error != 0 && error <= LDAP_REFERRAL_LIMIT_EXCEEDED;
  return is_ldap_code ? error : static_cast<ULONG>(LDAP_SERVER_DOWN);
}

// A bind that waits at most Timeout seconds, so that a server which accepts the
// connection and never answers cannot hold the page forever.
ULONG BindWithin(LDAP* ld, PCHAR name, PCHAR password, long seconds) {
  const ULONG msgid = Ldap().simple_bind(ld, name, password);
  if (msgid == static_cast<ULONG>(-1)) {
    return LastLdapError();
  }
  l_timeval limit{seconds, 0};
  LDAPMessage* raw = nullptr;
  const ULONG kind = Ldap().result(ld, msgid, LDAP_MSG_ALL, &limit, &raw);
  LdapResponse response(raw);
  if (kind == 0) {
    Ldap().abandon(ld, msgid);
    return LDAP_TIMEOUT;
  }
  if (kind == static_cast<ULONG>(-1) || !response) {
    return LastLdapError();
  }
  return Ldap().result2error(ld, response.Get(), FALSE);
}

ULONG Bind(LDAP* ld, const ConnectRequest& c) {
  PCHAR name = c.named ? const_cast<PCHAR>(c.user_name.c_str()) : nullptr;
  PCHAR password = c.named ? const_cast<PCHAR>(c.password.c_str()) : nullptr;
  if (c.timeout > 0) return BindWithin(ld, name, password, c.timeout);
  return Ldap().simple_bind_s(ld, name, password);
}

LDAP* NewSession(const ConnectRequest& c) {
  const PCHAR host = const_cast<PCHAR>(c.host.c_str());
  switch (c.encryption) {
    case Encryption::kLdaps:
      return Ldap().sslinit(host, c.port, 1);
    case Encryption::kStartTls:
      return Ldap().init(host, c.port);
    default:
      return Ldap().open(host, c.port);
  }
}

// TLS on the plain connection before anything else is sent on it.
ULONG StartTls(LDAP* ld) {
  ULONG server_rc = 0;
  LdapResponse response;
  const ULONG rc = Ldap().start_tls_s(ld, &server_rc, response.Put(), nullptr, nullptr);
  return rc != 0 ? rc : server_rc;
}

// Opens, protects and binds. Any step that fails leaves no session: the bind (and with
// it the password) is never sent on a connection that was meant to be encrypted and
// is not.
Connected OpenAndBind(const ConnectRequest& c) {
  Connected out;
  out.session.Reset(NewSession(c));
  if (!out.session) {
    out.open_error = GetLastError();
    return out;
  }
  // Version 3 carries text as UTF-8 (some libraries start new sessions at 2, whose text
  // is not defined to be UTF-8), and StartTLS exists only in version 3.
  ULONG version = LDAP_VERSION3;
  Ldap().set_option(out.session.Get(), LDAP_OPT_PROTOCOL_VERSION, &version);
  if (c.encryption != Encryption::kNone) {
    // The library would chase a referral or search reference by itself, over plain LDAP
    // to whatever host the data names, binding anonymously: nothing of an encrypted
    // session may leave in clear text, so it reads only what its own server holds.
    Ldap().set_option(out.session.Get(), LDAP_OPT_REFERRALS, LDAP_OPT_OFF);
  }
  SetLimits(out.session.Get(), c);
  if (c.encryption == Encryption::kStartTls) out.rc = StartTls(out.session.Get());
  if (out.rc == 0) out.rc = Bind(out.session.Get(), c);
  if (out.rc != 0) out.session.Reset();
  return out;
}

// Connect and bind on a thread of their own, waited for at most Timeout seconds. Wine's
// library, asked for TLS from the first byte on a port that speaks plain LDAP, spins
// inside the first send for minutes, beyond the reach of any time-out it offers; the page
// stops waiting after Timeout and the thread closes its session whenever it returns.
volatile LONG g_running_connect_threads = 0;

// Threads left behind by servers that never answer hold a socket, a copy of the password
// and a reference to the DLL each; past this many a page is refused at once instead of
// adding one more, so that a stuck server cannot exhaust the web server.
constexpr LONG kMaxConnectThreads = 8;
const char kTooManyConnectsText[] =
    "Too many encrypted connections are still waiting for a server that does not answer; "
    "try again later";

// Timeout in milliseconds for a wait, clamped below INFINITE: seconds * 1000 would wrap.
DWORD WaitMilliseconds(long seconds) {
  constexpr long kMaxSeconds = static_cast<long>((INFINITE - 1) / 1000);
  return static_cast<DWORD>(seconds > kMaxSeconds ? kMaxSeconds : seconds) * 1000;
}

class ConnectWorker {
 public:
  static Connected Run(ConnectRequest request) {
    Connected out;
    if (g_running_connect_threads >= kMaxConnectThreads) {
      out.refusal = kTooManyConnectsText;
      return out;
    }
    auto* worker = new ConnectWorker(std::move(request));
    if (!worker->Start()) {
      out = OpenAndBind(worker->request_);
    } else {
      WaitForSingleObject(worker->done_, WaitMilliseconds(worker->request_.timeout));
      if (InterlockedCompareExchange(&worker->state_, kAbandoned, kRunning) == kRunning) {
        out.rc = LDAP_TIMEOUT;
      } else {
        out = std::move(worker->outcome_);
      }
    }
    worker->Release();
    return out;
  }

 private:
  enum : LONG { kRunning, kDone, kAbandoned };

  explicit ConnectWorker(ConnectRequest request) : request_(std::move(request)) {}
  ~ConnectWorker() {
    if (done_) CloseHandle(done_);
  }

  bool Start() {
    done_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // The thread holds the module until its last instruction, so the DLL cannot be
    // unloaded under it.
    HMODULE module = nullptr;
    if (!done_ || !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                      reinterpret_cast<LPCWSTR>(&ConnectWorker::Work), &module)) {
      return false;
    }
    module_ = module;
    ++refs_;
    InterlockedIncrement(&g_running_connect_threads);
    HANDLE thread = CreateThread(nullptr, 0, &ConnectWorker::Work, this, 0, nullptr);
    if (!thread) {
      InterlockedDecrement(&g_running_connect_threads);
      --refs_;
      FreeLibrary(module);
      return false;
    }
    CloseHandle(thread);
    return true;
  }

  static DWORD WINAPI Work(void* self) {
    auto* worker = static_cast<ConnectWorker*>(self);
    try {
      worker->outcome_ = OpenAndBind(worker->request_);
    } catch (...) {
      worker->outcome_.rc = LDAP_NO_MEMORY;
    }
    // The page no longer waits: the session is ours to close.
    if (InterlockedCompareExchange(&worker->state_, kDone, kRunning) == kAbandoned) {
      worker->outcome_.session.Reset();
    }
    SetEvent(worker->done_);
    HMODULE module = worker->module_;
    worker->Release();
    InterlockedDecrement(&g_running_connect_threads);
    FreeLibraryAndExitThread(module, 0);
    return 0;
  }

  void Release() {
    if (InterlockedDecrement(&refs_) == 0) delete this;
  }

  ConnectRequest request_;
  Connected outcome_;
  HANDLE done_ = nullptr;
  HMODULE module_ = nullptr;
  volatile LONG state_ = kRunning;
  volatile LONG refs_ = 1;
};

}  // namespace

bool ConnectAndBind(LdapFields& f, const std::string& server_name) {
  const std::string refusal = CheckHostingPolicy(f);
  if (!refusal.empty()) {
    f.SetError(StoreToText(refusal));
    return false;
  }
  const ConnectionIdentity identity = IdentityFor(f, server_name);
  if (ReuseKeptConnection(f, identity)) return true;
  const bool ldaps = f.encryption == Encryption::kLdaps;
  ConnectRequest request{
      server_name,  ldaps && f.port_defaulted ? kStandardLdapsPort : static_cast<ULONG>(f.port),
      f.encryption, f.max_rows,
      f.timeout,    !f.user_name.empty() && !f.password.empty(),
      f.user_name,  f.password};
  const bool bounded = f.encryption != Encryption::kNone && f.timeout > 0;
  Connected c = bounded ? ConnectWorker::Run(std::move(request)) : OpenAndBind(request);
  if (c.session) {
    f.connection = std::move(c.session);
    f.connection_identity = identity;
    return true;
  }
  if (c.refusal) {
    f.SetError(c.refusal);
  } else if (c.rc != 0) {
    f.SetError(LdapErrorText(static_cast<long>(c.rc)), static_cast<long>(c.rc));
  } else {
    f.SetError(SystemErrorText(static_cast<long>(c.open_error)));
  }
  return false;
}

std::string LdapErrorText(long code) {
  const wchar_t* text = Ldap().err2string(static_cast<ULONG>(code));
  if (text && wcslen(text) >= 2) return ToText(text);
  char message[96];
  snprintf(message, sizeof(message), "The system cannot find error message for error number %ld",
           code);
  return message;
}

std::string SystemErrorText(long code) {
  std::string text;
  // The system's message comes in the process's ANSI code page.
  if (!SystemMessage(static_cast<DWORD>(code), &text)) return "Unknown error";
  return ToText(ToWide(text, CodePage(CP_ACP)));
}

LONG RunningConnectThreads() {
  return g_running_connect_threads;
}

}  // namespace quillon
