#include "tools/pagehost/http_request.h"

#include <cstring>

namespace pagehost {

namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// RFC 9110 token characters.
bool IsTokenChar(unsigned char c) {
  return c > 0x20 && c < 0x7f && !strchr("\"(),/:;<=>?@[\\]{}", c);
}

bool IsToken(const std::string& s) {
  if (s.empty()) return false;
  for (unsigned char c : s) {
    if (!IsTokenChar(c)) return false;
  }
  return true;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

Refusal Bad(int status, const char* reason) {
  return Refusal{status, reason};
}

Refusal ParseRequestLine(const std::string& line, HttpRequest* request) {
  const size_t sp1 = line.find(' ');
  const size_t sp2 = sp1 == std::string::npos ? sp1 : line.find(' ', sp1 + 1);
  if (sp2 == std::string::npos || line.find(' ', sp2 + 1) != std::string::npos) {
    return Bad(400, "malformed request line");
  }
  request->method = line.substr(0, sp1);
  request->target = line.substr(sp1 + 1, sp2 - sp1 - 1);
  const std::string version = line.substr(sp2 + 1);
  if (!IsToken(request->method)) return Bad(400, "malformed method");
  if (version.size() != 8 || version.compare(0, 7, "HTTP/1.") != 0 ||
      !isdigit(static_cast<unsigned char>(version[7]))) {
    if (version.compare(0, 5, "HTTP/") == 0) return Bad(505, "only HTTP/1.x is served");
    return Bad(400, "malformed protocol version");
  }
  request->minor_version = version[7] - '0';
  if (request->target.empty() || request->target[0] != '/') {
    return Bad(400, "the target must be a path from the site root");
  }
  for (unsigned char c : request->target) {
    if (c <= 0x20 || c >= 0x7f) return Bad(400, "malformed target");
  }
  const size_t q = request->target.find('?');
  request->path = request->target.substr(0, q);
  request->query = q == std::string::npos ? "" : request->target.substr(q + 1);
  return {};
}

Refusal ParseHeaderLine(const std::string& line, HttpRequest* request) {
  if (line[0] == ' ' || line[0] == '\t') return Bad(400, "folded header lines are not accepted");
  const size_t colon = line.find(':');
  if (colon == std::string::npos || !IsToken(line.substr(0, colon))) {
    return Bad(400, "malformed header");
  }
  std::string value = Trim(line.substr(colon + 1));
  for (unsigned char c : value) {
    if ((c < 0x20 && c != '\t') || c == 0x7f) return Bad(400, "control character in a header");
  }
  request->headers.emplace_back(line.substr(0, colon), std::move(value));
  return {};
}

// The body length from Content-Length; chunked bodies are not taken.
Refusal BodyLength(const HttpRequest& request, const Limits& limits, size_t* length) {
  *length = 0;
  if (request.Header("Transfer-Encoding")) return Bad(501, "Transfer-Encoding is not supported");
  const std::string* announced = nullptr;
  for (const auto& [name, value] : request.headers) {
    if (!EqualNoCase(name, "Content-Length")) continue;
    if (announced && *announced != value) return Bad(400, "conflicting Content-Length");
    announced = &value;
  }
  if (!announced) return {};
  if (announced->empty() || announced->size() > 12) {
    return announced->size() > 12 ? Bad(413, "body too large")
                                  : Bad(400, "malformed Content-Length");
  }
  unsigned long long n = 0;
  for (char c : *announced) {
    if (!isdigit(static_cast<unsigned char>(c))) return Bad(400, "malformed Content-Length");
    n = n * 10 + static_cast<unsigned>(c - '0');
  }
  if (n > limits.body_bytes) return Bad(413, "body too large");
  *length = static_cast<size_t>(n);
  return {};
}

}  // namespace

const std::string* HttpRequest::Header(const std::string& name) const {
  for (const auto& [n, v] : headers) {
    if (EqualNoCase(n, name)) return &v;
  }
  return nullptr;
}

bool HttpRequest::KeepAlive() const {
  const std::string* connection = Header("Connection");
  if (connection && EqualNoCase(*connection, "close")) return false;
  if (minor_version == 0) return connection && EqualNoCase(*connection, "keep-alive");
  return true;
}

size_t FindHeadEnd(const std::string& bytes) {
  const size_t end = bytes.find("\r\n\r\n");
  return end == std::string::npos ? end : end + 4;
}

Refusal ParseHead(const std::string& head, const Limits& limits, HttpRequest* request,
                  size_t* body_length) {
  *body_length = 0;
  if (head.size() > limits.header_bytes) return Bad(413, "request header too large");
  if (head.find('\0') != std::string::npos) return Bad(400, "NUL in the request head");
  size_t start = 0;
  bool first = true;
  while (start < head.size()) {
    size_t end = head.find("\r\n", start);
    if (end == std::string::npos) end = head.size();
    const std::string line = head.substr(start, end - start);
    start = end + 2;
    if (line.empty()) break;
    if (line.find('\r') != std::string::npos || line.find('\n') != std::string::npos) {
      return Bad(400, "bare CR or LF in the request head");
    }
    const Refusal r = first ? ParseRequestLine(line, request) : ParseHeaderLine(line, request);
    if (r.status) return r;
    first = false;
  }
  if (first) return Bad(400, "empty request");
  if (request->minor_version >= 1 && !request->Header("Host")) {
    return Bad(400, "HTTP/1.1 requests need a Host header");
  }
  return BodyLength(*request, limits, body_length);
}

}  // namespace pagehost
