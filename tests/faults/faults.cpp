// The component when the directory misbehaves: a server stopped before an operation,
// killed in the middle of a large search, restarted between operations, one that accepts
// connections and never answers, and one that answers with a size or time limit. Every
// case must end with IsError 1 and a meaningful ErrorReason, without a crash or a leak,
// and the same object must work again once the server is back.
//
// The server is driven by faults-test.sh: this program writes a command (stop, kill-after
// N, restart) into <control>\request and the driver carries it out and removes the file.
//   faults.exe <control folder> <port>
#include <winsock2.h>
#include <windows.h>
#include <objbase.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "module/ansi_text.h"
#include "module/bstr.h"
#include "module/com_ptr.h"
#include "module/quillon_app.h"
#include "module/variant.h"
#include "session/ldap_object.h"

using namespace quillon;

namespace {

using Clock = std::chrono::steady_clock;
std::wstring g_control;
long g_port = 0;

void Ask(const char* command, bool wait = true) {
  const std::wstring path = g_control + L"\\request";
  FILE* f = _wfopen(path.c_str(), L"w");
  fputs(command, f);
  fclose(f);
  for (int i = 0; wait && i < 1200 && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
       ++i) {
    Sleep(50);
  }
}

ComPtr<ILdap> Connect(long port, const wchar_t* ou = L"Faults") {
  ComPtr<ILdap> ldap;
  CLdap::CreateInstance(nullptr, IID_ILdap, ldap.PutVoid());
  ldap->put_ServerName(Bstr(L"127.0.0.1").Get());
  ldap->put_Port(port);
  ldap->put_UserName(Bstr(L"cn=admin,dc=example,dc=com").Get());
  ldap->put_Password(Bstr(L"secret").Get());
  ldap->DN(Bstr(L"dc").Get(), Bstr(L"com").Get());
  ldap->DN(Bstr(L"dc").Get(), Bstr(L"example").Get());
  ldap->DN(Bstr(L"ou").Get(), Bstr(ou).Get());
  ldap->put_Attributes(Bstr(L"cn").Get());
  return ldap;
}

// "IsError=1 [reason]" and, after a successful Query, the number of rows.
std::string Outcome(ILdap* ldap, VARIANT* result = nullptr) {
  SHORT is_error = 0;
  Bstr reason;
  ldap->get_IsError(&is_error);
  ldap->get_ErrorReason(reason.Put());
  std::string text = "IsError=" + std::to_string(is_error) + " [" + ToText(reason.Get()) + "]";
  if (result && V_VT(result) == VT_DISPATCH && V_DISPATCH(result)) {
    ComPtr<IQuery> query;
    V_DISPATCH(result)->QueryInterface(IID_IQuery, query.PutVoid());
    Variant column, rows;
    query->get_Item(1, column.Get());
    ComPtr<IQueryEntries> entries;
    V_DISPATCH(column.Get())->QueryInterface(IID_IQueryEntries, entries.PutVoid());
    entries->ValuesList(rows.Get());
    ComPtr<IQuerySub> list;
    V_DISPATCH(rows.Get())->QueryInterface(IID_IQuerySub, list.PutVoid());
    LONG count = 0;
    list->get_Count(&count);
    text += " rows=" + std::to_string(count);
  }
  return text;
}

std::string Search(ILdap* ldap) {
  Variant result;
  ldap->Query(result.Get());
  return Outcome(ldap, result.Get());
}

void StoppedBeforeAnOperation() {
  ComPtr<ILdap> ldap = Connect(g_port);
  Ask("stop");
  printf("stopped server:     %s\n", Search(ldap.Get()).c_str());
  Ask("restart");
  printf("back again:         %s\n", Search(ldap.Get()).c_str());
}

void RestartedBetweenOperations() {
  ComPtr<ILdap> ldap = Connect(g_port);
  printf("before a restart:   %s\n", Search(ldap.Get()).c_str());
  Ask("restart");
  printf("after a restart:    %s\n", Search(ldap.Get()).c_str());
}

void KilledDuringALargeSearch() {
  ComPtr<ILdap> ldap = Connect(g_port, L"Big");
  ldap->put_Attributes(Bstr(L"cn;description").Get());
  Ask("kill-after 0.5", false);
  const std::string outcome = Search(ldap.Get());
  // The library reports a lost connection in its own words; what matters is a failure
  // with a reason, never a partial result.
  const bool failed = outcome.rfind("IsError=1 [", 0) == 0 && outcome.find("rows=") == outcome.npos;
  printf("killed mid-search:  %s\n",
         failed ? "IsError=1 with a reason, no result" : outcome.c_str());
  Ask("restart");
  printf("back again:         %s\n", Search(ldap.Get()).c_str());
}

void Limits() {
  ComPtr<ILdap> ldap = Connect(g_port);
  ldap->put_MaxRows(10);
  printf("MaxRows 10:         %s\n", Search(ldap.Get()).c_str());
  ldap->put_MaxRows(0);
  printf("MaxRows 0:          %s\n", Search(ldap.Get()).c_str());
}

// A loopback server for the cases no real server shows on demand: silent, or answering
// every search with "time limit exceeded" after a successful bind.
class TinyServer {
 public:
  explicit TinyServer(bool answer) : answer_(answer) {
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    listen(listener_, 16);
    int length = sizeof(address);
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    if (answer_) thread_ = std::thread([this] { Serve(); });
  }
  ~TinyServer() {
    closesocket(listener_);
    if (thread_.joinable()) thread_.join();
  }
  long Port() const { return port_; }

 private:
  void Serve() {
    for (;;) {
      SOCKET client = accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) return;
      unsigned char request[512];
      while (recv(client, reinterpret_cast<char*>(request), sizeof(request), 0) > 4) {
        // LDAPMessage: 30 len 02 01 <id> <operation tag> ...; one-byte lengths suffice.
        const unsigned char id = request[4];
        const unsigned char tag = request[5];
        if (tag == 0x60) {  // bind request: success
          const unsigned char reply[] = {0x30, 0x0c, 0x02, 0x01, id,   0x61, 0x07,
                                         0x0a, 0x01, 0x00, 0x04, 0x00, 0x04, 0x00};
          send(client, reinterpret_cast<const char*>(reply), sizeof(reply), 0);
        } else if (tag == 0x63) {  // search request: SearchResultDone, timeLimitExceeded
          const unsigned char reply[] = {0x30, 0x0c, 0x02, 0x01, id,   0x65, 0x07,
                                         0x0a, 0x01, 0x03, 0x04, 0x00, 0x04, 0x00};
          send(client, reinterpret_cast<const char*>(reply), sizeof(reply), 0);
        } else if (tag == 0x42) {  // unbind
          break;
        }
      }
      closesocket(client);
    }
  }

  bool answer_;
  SOCKET listener_;
  long port_ = 0;
  std::thread thread_;
};

void ServerTimeLimit() {
  TinyServer server(true);
  ComPtr<ILdap> ldap = Connect(server.Port());
  printf("time limit answer:  %s\n", Search(ldap.Get()).c_str());
}

void SilentServer() {
  TinyServer server(false);
  struct Operation {
    const char* name;
    void (*run)(ILdap*);
  } operations[] = {
      {"Query",
       [](ILdap* l) {
         Variant r;
         l->Query(r.Get());
       }},
      {"Add",
       [](ILdap* l) {
         Variant v;
         V_VT(v.Get()) = VT_BSTR;
         V_BSTR(v.Get()) = SysAllocString(L"x");
         l->AttributeAdd(Bstr(L"cn").Get(), *v.Get(), -1);
         l->Add();
       }},
      {"Modify",
       [](ILdap* l) {
         Variant v;
         V_VT(v.Get()) = VT_BSTR;
         V_BSTR(v.Get()) = SysAllocString(L"x");
         l->AttributeModify(Bstr(L"sn").Get(), *v.Get(), -1, 0);
         l->Modify();
       }},
      {"Delete", [](ILdap* l) { l->Delete(); }},
      {"ModifyDN",
       [](ILdap* l) {
         l->NewRDN(Bstr(L"cn").Get(), Bstr(L"y").Get());
         l->ModifyDN();
       }},
  };
  for (const Operation& op : operations) {
    ComPtr<ILdap> ldap = Connect(server.Port());
    ldap->put_Timeout(2);
    const auto start = Clock::now();
    op.run(ldap.Get());
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    printf("silent, %-9s   %s, %s\n", op.name, Outcome(ldap.Get()).c_str(),
           seconds >= 1.5 && seconds < 6 ? "after about 2 s" : std::to_string(seconds).c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const std::string control = argv[1];
  g_control.assign(control.begin(), control.end());
  g_port = atol(argv[2]);
  WSADATA wsa;
  WSAStartup(MAKEWORD(2, 2), &wsa);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  theApp.InitInstance(GetModuleHandleW(nullptr));

  Limits();  // also warms up the type library, Winsock and the LDAP library
  DWORD handles_before = 0, handles_after = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles_before);
  StoppedBeforeAnOperation();
  RestartedBetweenOperations();
  KilledDuringALargeSearch();
  ServerTimeLimit();
  SilentServer();
  Limits();
  GetProcessHandleCount(GetCurrentProcess(), &handles_after);
  printf("objects left:       %s\n", DllCanUnloadNow() == S_OK ? "none" : "some");
  printf("handles:            %s\n",
         handles_after < handles_before + 10
             ? "flat"
             : (std::to_string(handles_before) + " -> " + std::to_string(handles_after)).c_str());
  theApp.ExitInstance();
  CoUninitialize();
  WSACleanup();
  printf("END\n");
  return 0;
}
