// QuillonPageHost.exe: a development and test host for classic ASP pages. Not a
// production web server: it serves one site folder on loopback so that pages can be
// tried and tested under Wine with the real script engines and the real component.
//
//   QuillonPageHost.exe --root <site folder> [--port N] [--listen ADDRESS] [--port-file F]
//                       [--timeout SECONDS] [--set NAME=VALUE]... [--max-body BYTES] [--stats]
//
// The process started by hand is the supervisor: it starts a worker (the same program
// with --worker) that serves, and starts a new one when a page ran past its time limit
// and the worker ended itself (see watchdog.h). The worker ends when the supervisor does.
#include <winsock2.h>
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tools/pagehost/host_config.h"
#include "tools/pagehost/log.h"

namespace pagehost {

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitCannotServe = 3;

int Usage(const std::wstring& why) {
  LogLine(why);
  LogLine(
      L"usage: QuillonPageHost.exe --root <site folder> [--port N] [--listen ADDRESS] "
      L"[--port-file FILE] [--timeout SECONDS] [--set NAME=VALUE]... [--max-body BYTES] [--stats]");
  return kExitUsage;
}

bool ParseNumber(const std::wstring& text, long low, long high, long* out) {
  wchar_t* end = nullptr;
  const long n = wcstol(text.c_str(), &end, 10);
  if (text.empty() || *end || n < low || n > high) return false;
  *out = n;
  return true;
}

struct Options {
  HostConfig config;
  bool worker = false;
  DWORD parent = 0;
};

int Parse(const std::vector<std::wstring>& args, Options* o) {
  for (size_t i = 1; i < args.size(); ++i) {
    const std::wstring& a = args[i];
    const bool has_value = i + 1 < args.size();
    const std::wstring value = has_value ? args[i + 1] : L"";
    long n = 0;
    if (a == L"--worker") {
      o->worker = true;
      continue;
    }
    if (a == L"--stats") {
      o->config.stats = true;
      continue;
    }
    if (!has_value) return Usage(L"missing value after " + a);
    ++i;
    if (a == L"--root") {
      wchar_t full[MAX_PATH];
      const DWORD len = GetFullPathNameW(value.c_str(), MAX_PATH, full, nullptr);
      if (len == 0 || len >= MAX_PATH) return Usage(L"cannot use the site folder " + value);
      std::wstring root(full, len);
      while (root.size() > 3 && (root.back() == L'\\' || root.back() == L'/')) root.pop_back();
      const DWORD attributes = GetFileAttributesW(root.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        return Usage(L"the site folder " + root + L" does not exist");
      }
      o->config.site_root = root;
    } else if (a == L"--port" && ParseNumber(value, 0, 65535, &n)) {
      o->config.port = static_cast<int>(n);
    } else if (a == L"--listen") {
      o->config.listen_address.assign(value.begin(), value.end());
    } else if (a == L"--port-file") {
      o->config.port_file = value;
    } else if (a == L"--timeout" && ParseNumber(value, 1, 86400, &n)) {
      o->config.script_timeout = n;
    } else if (a == L"--max-body" && ParseNumber(value, 0, 1L << 30, &n)) {
      o->config.limits.body_bytes = static_cast<size_t>(n);
    } else if (a == L"--parent" && ParseNumber(value, 1, 0x7fffffff, &n)) {
      o->parent = static_cast<DWORD>(n);
    } else if (a == L"--set" && value.find(L'=') != std::wstring::npos && value.find(L'=') > 0) {
      o->config.application_values.emplace_back(value.substr(0, value.find(L'=')),
                                                value.substr(value.find(L'=') + 1));
    } else {
      return Usage(L"cannot use " + a + L" " + value);
    }
  }
  if (o->config.site_root.empty()) return Usage(L"--root is required");
  return 0;
}

// A free loopback port, chosen once by the supervisor so that every worker uses the same.
int PickPort(const std::string& address) {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a = {};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = inet_addr(address.c_str());
  int port = 0;
  int length = sizeof a;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &length) == 0) {
    port = ntohs(a.sin_port);
  }
  closesocket(s);
  return port;
}

DWORD WINAPI WatchParent(void* handle) {
  WaitForSingleObject(handle, INFINITE);
  TerminateProcess(GetCurrentProcess(), 0);
  return 0;
}

std::wstring Quote(const std::wstring& arg) {
  std::wstring q = L"\"";
  for (wchar_t c : arg) {
    if (c == L'"') q += L'\\';
    q += c;
  }
  // A trailing backslash would escape the closing quote.
  if (!arg.empty() && arg.back() == L'\\') q += L'\\';
  return q + L"\"";
}

int Supervise(const std::vector<std::wstring>& args, Options& o) {
  if (o.config.port == 0) o.config.port = PickPort(o.config.listen_address);
  std::wstring command = Quote(args[0]) + L" --worker --parent " +
                         std::to_wstring(GetCurrentProcessId()) + L" --port " +
                         std::to_wstring(o.config.port);
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == L"--port") {
      ++i;
      continue;
    }
    command += L" " + Quote(args[i]);
  }
  for (int restarts = 0;; ++restarts) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION worker = {};
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(L'\0');
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &worker)) {
      LogLine(L"cannot start the worker (error " + std::to_wstring(GetLastError()) + L")");
      return kExitCannotServe;
    }
    CloseHandle(worker.hThread);
    WaitForSingleObject(worker.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(worker.hProcess, &status);
    CloseHandle(worker.hProcess);
    // A worker that could not start at all would fail again; anything else (a page past
    // its time, or a crash) gets a new worker.
    if (status == static_cast<DWORD>(kExitUsage) ||
        status == static_cast<DWORD>(kExitCannotServe)) {
      LogLine(L"the worker could not serve (status " + std::to_wstring(status) + L")");
      return static_cast<int>(status);
    }
    LogLine(L"the worker ended with status " + std::to_wstring(status) + L"; starting a new one (" +
            std::to_wstring(restarts + 1) + L" so far)");
  }
}

}  // namespace

}  // namespace pagehost

int wmain(int argc, wchar_t** argv) {
  using namespace pagehost;
  std::vector<std::wstring> args(argv, argv + argc);
  Options o;
  if (const int status = Parse(args, &o)) return status;
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return kExitCannotServe;
  if (!o.worker) return Supervise(args, o);
  if (o.parent) {
    HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, o.parent);
    if (!parent) return 0;  // the supervisor is already gone
    HANDLE thread = CreateThread(nullptr, 0, &WatchParent, parent, 0, nullptr);
    if (thread) CloseHandle(thread);
  }
  return Serve(o.config) ? 0 : kExitCannotServe;
}
