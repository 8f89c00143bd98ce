// Ends the worker when a page runs past its time. Wine's engines cannot be interrupted
// (InterruptScriptThread answers E_NOTIMPL) and a thread stuck in a script cannot be
// stopped safely, so the watchdog answers the stuck request itself, logs it, and ends the
// whole worker process; the supervisor starts a new one. Every other request in flight at
// that moment is cut off, and sessions and Application values are lost.
#pragma once

#include <winsock2.h>

#include <memory>
#include <mutex>
#include <vector>

#include "tools/pagehost/exchange.h"

namespace pagehost {

class Watchdog {
 public:
  // Starts the checking thread.
  void Start();
  // A page starts running on `client`; the returned ticket ends the watch.
  int Begin(std::shared_ptr<Exchange> exchange, SOCKET client);
  void End(int ticket);

 private:
  struct Watched {
    int ticket;
    ULONGLONG started;
    std::shared_ptr<Exchange> exchange;
    SOCKET client;
  };
  static DWORD WINAPI Thread(void* self);
  void Check();

  std::mutex lock_;
  std::vector<Watched> watched_;
  int next_ticket_ = 1;
};

}  // namespace pagehost
