// One HTTP/1.x request as it arrived, and the rules that refuse a bad one before anything
// else looks at it. Pure functions over bytes, so every refusal is decided in one place.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace pagehost {

struct Limits {
  size_t header_bytes = 16 * 1024;  // request line and headers together
  size_t body_bytes = 8 * 1024 * 1024;
};

struct HttpRequest {
  std::string method;
  std::string target;  // as sent: path and query
  std::string path;    // before '?', still percent-encoded
  std::string query;   // after '?', still encoded
  int minor_version = 1;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;

  // The first header of that name (names compare without regard to case), or null.
  const std::string* Header(const std::string& name) const;
  bool KeepAlive() const;
};

// The status of a refusal (0 when the head is acceptable) and the text that explains it.
struct Refusal {
  int status = 0;
  std::string reason;
};

// Parses the head (request line and headers, without the blank line that ends them).
// Fills the request and the body length it announces.
Refusal ParseHead(const std::string& head, const Limits& limits, HttpRequest* request,
                  size_t* body_length);

// Where the head ends (just after the blank line), or npos while it is incomplete.
size_t FindHeadEnd(const std::string& bytes);

}  // namespace pagehost
