#include "tools/pagehost/watchdog.h"

#include <cstdio>
#include <string>

#include "tools/pagehost/host_config.h"
#include "tools/pagehost/log.h"
#include "tools/pagehost/socket_io.h"

namespace pagehost {

void Watchdog::Start() {
  HANDLE thread = CreateThread(nullptr, 0, &Watchdog::Thread, this, 0, nullptr);
  if (thread) CloseHandle(thread);
}

int Watchdog::Begin(std::shared_ptr<Exchange> exchange, SOCKET client) {
  std::lock_guard<std::mutex> hold(lock_);
  const int ticket = next_ticket_++;
  watched_.push_back({ticket, GetTickCount64(), std::move(exchange), client});
  return ticket;
}

void Watchdog::End(int ticket) {
  std::lock_guard<std::mutex> hold(lock_);
  for (auto it = watched_.begin(); it != watched_.end(); ++it) {
    if (it->ticket == ticket) {
      watched_.erase(it);
      return;
    }
  }
}

DWORD WINAPI Watchdog::Thread(void* self) {
  for (;;) {
    Sleep(250);
    static_cast<Watchdog*>(self)->Check();
  }
}

void Watchdog::Check() {
  std::lock_guard<std::mutex> hold(lock_);
  const ULONGLONG now = GetTickCount64();
  for (const Watched& w : watched_) {
    const ULONGLONG limit = static_cast<ULONGLONG>(w.exchange->script_timeout) * 1000;
    if (now - w.started <= limit) continue;
    const std::wstring page = UrlOf(w.exchange->page);
    LogLine(L"500 " + page + L": the page ran longer than its ScriptTimeout of " +
            std::to_wstring(w.exchange->script_timeout) + L" s; restarting the worker");
    if (!w.exchange->answer.head_sent) {
      const std::string body =
          "<p>The page ran longer than its time limit (Server.ScriptTimeout) and was "
          "ended.</p>\r\n";
      SendAll(w.client,
              "HTTP/1.1 500 Script Timed Out\r\nContent-Type: text/html\r\nContent-Length: " +
                  std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    }
    shutdown(w.client, SD_BOTH);
    TerminateProcess(GetCurrentProcess(), kExitStuckPage);
  }
}

}  // namespace pagehost
