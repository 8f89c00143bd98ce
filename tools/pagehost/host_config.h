// How the host was started (see main.cpp for the options).
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "tools/pagehost/http_request.h"

namespace pagehost {

struct HostConfig {
  std::wstring site_root;  // Windows path, no trailing separator
  std::string listen_address = "127.0.0.1";
  int port = 0;
  std::wstring port_file;    // written once the host listens
  long script_timeout = 90;  // seconds, each page may change its own
  bool stats = false;        // GET /_pagehost/stats answers handles and memory
  size_t max_connections = 64;
  Limits limits;
  std::vector<std::pair<std::wstring, std::wstring>> application_values;  // --set name=value
};

// Serves until the process ends; false when it could not listen.
bool Serve(const HostConfig& config);

// The exit status of a worker ended because a page ran past its time: the supervisor
// starts a new one.
inline constexpr int kExitStuckPage = 75;

}  // namespace pagehost
