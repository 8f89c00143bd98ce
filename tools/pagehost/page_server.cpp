// The HTTP side of the host: a listening socket on loopback, one thread per connection,
// each its own single-threaded apartment, running that connection's requests one after
// another. Pages run through the compiled-page cache and a fresh engine; static files are
// sent with their content type; everything else is refused with a clear status before
// any file is touched.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <memory>
#include <string>

#include "module/com_ptr.h"
#include "tools/pagehost/host_config.h"
#include "tools/pagehost/host_state.h"
#include "tools/pagehost/intrinsics.h"
#include "tools/pagehost/log.h"
#include "tools/pagehost/mtxex/context_slot.h"
#include "tools/pagehost/page_compiler.h"
#include "tools/pagehost/request_object.h"
#include "tools/pagehost/script_runner.h"
#include "tools/pagehost/socket_io.h"
#include "tools/pagehost/text_coding.h"
#include "tools/pagehost/watchdog.h"

namespace pagehost {

namespace {

using quillon::ComPtr;

constexpr int kMaxRequestsPerConnection = 1000;
constexpr DWORD kIdleMilliseconds = 15000;  // between two reads of a connection
constexpr ULONGLONG kHeadMilliseconds = 30000;
constexpr ULONGLONG kBodyMilliseconds = 120000;

struct Host {
  const HostConfig* config;
  HostState state;
  PageCache pages;
  Watchdog watchdog;
  SetRequestFn set_request = nullptr;
  std::atomic<long> connections{0};
  std::atomic<long long> requests{0};
};

const char* ReasonOf(int status) {
  switch (status) {
    case 301:
      return "Moved Permanently";
    case 400:
      return "Bad Request";
    case 403:
      return "Forbidden";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 408:
      return "Request Timeout";
    case 413:
      return "Content Too Large";
    case 500:
      return "Internal Server Error";
    case 501:
      return "Not Implemented";
    case 503:
      return "Service Unavailable";
    case 505:
      return "HTTP Version Not Supported";
  }
  return "Error";
}

// A short answer of the host's own, for refusals.
bool SendStatus(SOCKET s, int status, const std::string& why, bool keep_alive,
                bool head_only = false, const std::string& extra_headers = "") {
  const std::string body = "<html><body><h1>" + std::to_string(status) + " " + ReasonOf(status) +
                           "</h1><p>" + HtmlEncode(why) + "</p></body></html>\r\n";
  std::string all = "HTTP/1.1 " + std::to_string(status) + " " + ReasonOf(status) +
                    "\r\nServer: Quillon-PageHost\r\nContent-Type: text/html\r\nContent-Length: " +
                    std::to_string(body.size()) + "\r\n" + extra_headers +
                    (keep_alive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n");
  if (!head_only) all += body;
  return SendAll(s, all);
}

std::string Narrow(const std::wstring& text, UINT code_page) {
  const int n = WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0)
    WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

std::wstring Widen(const std::string& bytes, UINT code_page) {
  const int n =
      MultiByteToWideChar(code_page, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring out(n > 0 ? n : 0, L'\0');
  if (n > 0)
    MultiByteToWideChar(code_page, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
  return out;
}

std::wstring Hex(HRESULT code) {
  wchar_t text[16];
  swprintf(text, 16, L"%08lx", static_cast<unsigned long>(code));
  return text;
}

// The block that ends a failed page: where, what, and the line as written.
std::string ErrorBlock(const std::wstring& source, HRESULT code, const std::wstring& description,
                       const std::wstring& file, int line, const std::wstring& text) {
  // Engines name their errors "... runtime error" or "... compilation error" themselves.
  const bool named = source.size() >= 5 && source.compare(source.size() - 5, 5, L"error") == 0;
  std::wstring block =
      L"\r\n<div class=\"page-error\"><p><b>" + HtmlEncode(source) + (named ? L" '" : L" error '") +
      Hex(code) + L"'</b></p>\r\n<p class=\"description\">" + HtmlEncode(description) +
      L"</p>\r\n<p class=\"where\"><b>" + HtmlEncode(file) + L", line " + std::to_wstring(line) +
      L"</b></p>\r\n<pre class=\"line\">" + HtmlEncode(text) + L"</pre></div>\r\n";
  return Narrow(block, CP_UTF8);
}

void FailPage(Exchange& ex, const std::string& block, const std::wstring& log) {
  Answer& a = ex.answer;
  if (!a.head_sent) {
    a.status = 500;
    a.status_line = "500 Internal Server Error";
    a.content_type = "text/html";
  }
  a.body += block;
  LogLine(log);
}

void ReportScriptError(Exchange& ex, const CompiledPage& page, const ScriptError& error) {
  std::wstring file = UrlOf(ex.page), text;
  int line = 0;
  if (error.script_line < page.lines.size()) {
    const ScriptLine& where = page.lines[error.script_line];
    const SourceFile& source = page.files[where.file];
    file = UrlOf(source.path);
    line = where.line;
    if (line >= 1 && static_cast<size_t>(line) <= source.lines.size()) {
      text = Widen(source.lines[line - 1], page.code_page);
    }
  }
  const bool vb = page.language == Language::kVBScript;
  std::wstring description = error.description;
  if (description.empty()) description = KnownErrorText(error.code, vb);
  // Wine's engines report a syntax error as E_FAIL with no text, naming only the kind.
  if (description.empty() && error.source.find(L"compilation") != std::wstring::npos)
    description = L"Syntax error";
  if (description.empty()) description = L"(no description)";
  const std::wstring source = !error.source.empty() ? error.source
                              : vb                  ? L"Microsoft VBScript runtime"
                                                    : L"Microsoft JScript runtime";
  FailPage(ex, ErrorBlock(source, error.code, description, file, line, text),
           L"500 " + UrlOf(ex.page) + L": " + file + L" line " + std::to_wstring(line) + L": " +
               source + L" " + Hex(error.code) + L" " + description + L" | " + text);
}

void ServePage(Host& host, std::shared_ptr<Exchange> ex, SOCKET client) {
  CompileError compile_error;
  std::shared_ptr<const CompiledPage> page =
      host.pages.Get(ex->site_root, ex->page, &compile_error);
  if (!page) {
    if (compile_error.status == 404) {
      ex->answer.status = 404;
      ex->answer.status_line = "404 Not Found";
      ex->answer.body = "<html><body><h1>404 Not Found</h1></body></html>\r\n";
      return;
    }
    const std::wstring text = Widen(compile_error.text, CP_ACP);
    FailPage(*ex,
             ErrorBlock(L"Page compiler", E_FAIL, compile_error.description, compile_error.file,
                        compile_error.line, text),
             L"500 " + UrlOf(ex->page) + L": " + compile_error.file + L" line " +
                 std::to_wstring(compile_error.line) + L": " + compile_error.description);
    return;
  }
  ex->code_page = page->code_page;
  ex->blocks = &page->blocks;
  ex->script_timeout = host.config->script_timeout;

  ComPtr<IRequest> request(NewRequest(ex));
  ComPtr<IDispatch> globals(NewPageGlobals(ex, &host.state, request.Get()));
  if (host.set_request) host.set_request(request.Get());
  const int ticket = host.watchdog.Begin(ex, client);
  ScriptError error;
  RunPage(*page, globals.Get(), &error);
  host.watchdog.End(ticket);
  if (host.set_request) host.set_request(nullptr);
  for (; ex->application_locks > 0; --ex->application_locks) host.state.UnlockApplication();
  if (ex->session_abandoned && ex->session) host.state.Abandon(ex->session->Id());
  if (error.happened) ReportScriptError(*ex, *page, error);
  ex->answer.ended = true;
}

// A folder without a default page: its pages, files and folders as links.
std::string FolderListing(const std::wstring& folder, const SitePath& path) {
  std::wstring html = L"<html><body><h1>" + HtmlEncode(UrlOf(path)) + L"</h1><ul>\r\n";
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      std::string type;
      const bool folder_entry = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      if (name == L"." || name == L"..") continue;
      if (!folder_entry && KindOf(name, &type) == FileKind::kRefused) continue;
      const std::wstring shown = name + (folder_entry ? L"/" : L"");
      html += L"<li><a href=\"" +
              HtmlEncode(Widen(UrlPathEncode(Narrow(shown, CP_UTF8)), CP_UTF8)) + L"\">" +
              HtmlEncode(shown) + L"</a></li>\r\n";
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  return Narrow(html + L"</ul></body></html>\r\n", CP_UTF8);
}

std::string Stats(Host& host) {
  DWORD handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof memory;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                       sizeof memory);
  return "handles=" + std::to_string(handles) +
         "\nprivate_bytes=" + std::to_string(memory.PrivateUsage) +
         "\nrequests=" + std::to_string(host.requests.load()) +
         "\nsessions=" + std::to_string(host.state.SessionCount()) + "\n";
}

// Decides what the request names and answers it. False when the connection must close.
bool Answer(Host& host, HttpRequest request, SOCKET client, const sockaddr_in& peer,
            bool keep_alive) {
  const bool head_only = request.method == "HEAD";
  if (request.method != "GET" && request.method != "POST" && !head_only) {
    SendStatus(client, 405, "This host serves GET, HEAD and POST.", false, false,
               "Allow: GET, HEAD, POST\r\n");
    return false;
  }
  if (host.config->stats && request.path == "/_pagehost/stats") {
    const std::string body = Stats(host);
    return SendAll(client, "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                               std::to_string(body.size()) + "\r\n\r\n" + body) &&
           keep_alive;
  }
  SitePath path;
  const int refused = ResolveRequestPath(request.path, &path);
  if (refused) {
    SendStatus(client, refused,
               refused == 404 ? "Not found." : "The path does not name a file inside the site.",
               false, head_only);
    return false;
  }
  std::wstring file = JoinPath(host.config->site_root, path);
  const DWORD attributes = GetFileAttributesW(file.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    if (!request.path.empty() && request.path.back() != '/') {
      SendStatus(client, 301, "A folder is asked for with a trailing /.", keep_alive, head_only,
                 "Location: " + request.path + "/\r\n");
      return keep_alive;
    }
    bool found = false;
    for (const wchar_t* name : {L"default.asp", L"index.asp", L"index.html"}) {
      if (!found && GetFileAttributesW((file + L"\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES) {
        path.push_back(name);
        found = true;
      }
    }
    if (!found) {
      const std::string body = FolderListing(file, path);
      return SendAll(
                 client,
                 "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: " +
                     std::to_string(body.size()) + "\r\n\r\n" + (head_only ? "" : body)) &&
             keep_alive;
    }
    file = JoinPath(host.config->site_root, path);
  }
  std::string content_type;
  const FileKind kind = KindOf(path.empty() ? L"" : path.back(), &content_type);
  if (kind == FileKind::kRefused) {
    SendStatus(client, 404, "Not found.", keep_alive, head_only);
    return keep_alive;
  }
  if (kind == FileKind::kStatic) {
    std::string bytes;
    FILETIME written;
    ULONGLONG size = 0;
    if (request.method == "POST") {
      SendStatus(client, 405, "Static files answer GET and HEAD.", keep_alive, false,
                 "Allow: GET, HEAD\r\n");
      return keep_alive;
    }
    if (!ReadWholeFile(file, &bytes, &written, &size)) {
      SendStatus(client, 404, "Not found.", keep_alive, head_only);
      return keep_alive;
    }
    return SendAll(client,
                   "HTTP/1.1 200 OK\r\nServer: Quillon-PageHost\r\nContent-Type: " + content_type +
                       "\r\nContent-Length: " + std::to_string(bytes.size()) + "\r\n" +
                       (keep_alive ? "" : "Connection: close\r\n") + "\r\n" +
                       (head_only ? "" : bytes)) &&
           keep_alive;
  }

  auto ex = std::make_shared<Exchange>();
  ex->http = std::move(request);
  ex->site_root = host.config->site_root;
  ex->page = path;
  char address[INET_ADDRSTRLEN] = "";
  inet_ntop(AF_INET, &peer.sin_addr, address, sizeof address);
  ex->remote_address = Widen(address, CP_ACP);
  ex->remote_port = ntohs(peer.sin_port);
  ex->server_port = host.config->port;
  ex->answer.send_body = !head_only;
  SocketSink sink(client);
  ex->sink = &sink;
  ServePage(host, ex, client);
  const bool sent = ex->Finish(keep_alive);
  ex->sink = nullptr;
  return sent && keep_alive && !ex->answer.close_after;
}

// Reads until the head is complete; 0 on success, or the status to refuse with (-1: the
// peer closed or went quiet, answer nothing).
int ReadHead(SOCKET s, const Limits& limits, std::string* buffer, size_t* head_end) {
  char chunk[8192];
  // A client that trickles its head a byte at a time would hold its thread for ever: the
  // whole head must arrive within a time limit, counted from its first byte.
  ULONGLONG first_byte = buffer->empty() ? 0 : GetTickCount64();
  while ((*head_end = FindHeadEnd(*buffer)) == std::string::npos) {
    if (buffer->size() > limits.header_bytes) return 413;
    if (first_byte && GetTickCount64() - first_byte > kHeadMilliseconds) return 408;
    // Lines must end in CR LF; a head ended by bare line feeds would otherwise wait for
    // an end that never comes.
    if (buffer->find("\n\n") != std::string::npos || buffer->find("\n\r\n") != std::string::npos)
      return 400;
    const int n = recv(s, chunk, sizeof chunk, 0);
    if (n <= 0) return buffer->empty() || n == 0 ? -1 : 408;
    if (!first_byte) first_byte = GetTickCount64();
    buffer->append(chunk, n);
  }
  return *head_end - 4 > limits.header_bytes ? 413 : 0;  // ParseHead finds bare LFs inside
}

void Converse(Host& host, SOCKET s, const sockaddr_in& peer) {
  const Limits& limits = host.config->limits;
  std::string buffer;
  for (int served = 0; served < kMaxRequestsPerConnection; ++served) {
    size_t head_end = 0;
    const int status = ReadHead(s, limits, &buffer, &head_end);
    if (status < 0) return;
    if (status > 0) {
      SendStatus(s, status,
                 status == 413   ? "The request head is too large."
                 : status == 400 ? "Lines of the request head must end in CR LF."
                                 : "The request did not arrive in time.",
                 false);
      return;
    }
    HttpRequest request;
    size_t body_length = 0;
    const Refusal refusal =
        ParseHead(buffer.substr(0, head_end - 4), limits, &request, &body_length);
    if (refusal.status) {
      SendStatus(s, refusal.status, refusal.reason, false);
      return;
    }
    buffer.erase(0, head_end);
    char chunk[65536];
    const ULONGLONG body_started = GetTickCount64();
    while (buffer.size() < body_length) {
      const int n = GetTickCount64() - body_started > kBodyMilliseconds
                        ? -1
                        : recv(s, chunk, sizeof chunk, 0);
      if (n <= 0) {
        if (n < 0) SendStatus(s, 408, "The request body did not arrive in time.", false);
        return;
      }
      buffer.append(chunk, n);
    }
    request.body = buffer.substr(0, body_length);
    buffer.erase(0, body_length);
    ++host.requests;
    const bool keep_alive = request.KeepAlive() && served + 1 < kMaxRequestsPerConnection;
    if (!Answer(host, std::move(request), s, peer, keep_alive)) return;
  }
}

struct ConnectionStart {
  Host* host;
  SOCKET socket;
  sockaddr_in peer;
};

DWORD WINAPI ConnectionThread(void* param) {
  std::unique_ptr<ConnectionStart> start(static_cast<ConnectionStart*>(param));
  Socket s(start->socket);
  // Each connection's thread is an apartment of its own, as the web server's are: the
  // component is apartment-threaded, and every object a page makes lives here.
  const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  Converse(*start->host, s.Get(), start->peer);
  shutdown(s.Get(), SD_SEND);
  if (SUCCEEDED(init)) CoUninitialize();
  --start->host->connections;
  return 0;
}

bool Listen(const HostConfig& config, Socket* listener) {
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(config.port));
  if (inet_pton(AF_INET, config.listen_address.c_str(), &address.sin_addr) != 1) {
    LogLine(L"cannot listen on " + Widen(config.listen_address, CP_ACP) + L": not an IPv4 address");
    return false;
  }
  // A worker started again after a stuck page finds its port held for a moment by the
  // connections the old one left: try for a few seconds.
  for (int attempt = 0; attempt < 50; ++attempt) {
    Socket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    BOOL on = TRUE;
    setsockopt(s.Get(), SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on), sizeof on);
    if (bind(s.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        listen(s.Get(), 128) == 0) {
      *listener = std::move(s);
      return true;
    }
    Sleep(100);
  }
  LogLine(L"cannot listen on " + Widen(config.listen_address, CP_ACP) + L":" +
          std::to_wstring(config.port) + L" (error " + std::to_wstring(WSAGetLastError()) + L")");
  return false;
}

void WritePortFile(const HostConfig& config) {
  if (config.port_file.empty()) return;
  HANDLE f = CreateFileW(config.port_file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  const std::string text = std::to_string(config.port) + "\n";
  DWORD written = 0;
  WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(f);
}

SetRequestFn LoadContextModule() {
  // The host's own mtxex.dll beside the executable, loaded before any page runs: the
  // component's LoadLibrary("mtxex.dll") then finds this one.
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path(self, n);
  path = path.substr(0, path.find_last_of(L"\\/") + 1) + L"mtxex.dll";
  HMODULE module = LoadLibraryW(path.c_str());
  const FARPROC address = module ? GetProcAddress(module, kSetRequestExport) : nullptr;
  if (!address) {
    LogLine(L"no object context: " + path + L" is missing; the component sees no page");
    return nullptr;
  }
  return reinterpret_cast<SetRequestFn>(reinterpret_cast<void*>(address));
}

}  // namespace

bool Serve(const HostConfig& config) {
  static Host host;  // lives as long as the process: connection threads use it to the end
  host.config = &config;
  for (const auto& [name, value] : config.application_values) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(value.c_str());
    host.state.Application().Put(name, v);
    VariantClear(&v);
  }
  host.set_request = LoadContextModule();
  Socket listener;
  if (!Listen(config, &listener)) return false;
  WritePortFile(config);
  host.watchdog.Start();
  LogLine(L"serving " + config.site_root + L" at http://" + Widen(config.listen_address, CP_ACP) +
          L":" + std::to_wstring(config.port) + L"/");
  for (;;) {
    sockaddr_in peer = {};
    int length = sizeof peer;
    SOCKET client = accept(listener.Get(), reinterpret_cast<sockaddr*>(&peer), &length);
    if (client == INVALID_SOCKET) continue;
    DWORD timeout = kIdleMilliseconds;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof timeout);
    setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout),
               sizeof timeout);
    if (static_cast<size_t>(++host.connections) > config.max_connections) {
      SendStatus(client, 503, "Too many connections at once.", false);
      closesocket(client);
      --host.connections;
      continue;
    }
    auto* start = new ConnectionStart{&host, client, peer};
    HANDLE thread = CreateThread(nullptr, 0, &ConnectionThread, start, 0, nullptr);
    if (thread) {
      CloseHandle(thread);
    } else {
      delete start;
      closesocket(client);
      --host.connections;
    }
  }
}

}  // namespace pagehost
