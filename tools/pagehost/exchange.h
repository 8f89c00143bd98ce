// What one page request shares between the host and the intrinsic objects: the request as
// it arrived, the answer being built, and the page's place in the site. One per request,
// held by every object made for it, so an object a script keeps alive never outlives it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tools/pagehost/http_request.h"
#include "tools/pagehost/site_path.h"

namespace pagehost {

class SessionState;

// Where a flushed answer goes: the client's connection.
class ResponseSink {
 public:
  virtual ~ResponseSink() = default;
  virtual bool Send(const std::string& bytes) = 0;
};

struct Cookie {
  std::string name;
  std::string value;  // already encoded
  std::string path = "/";
};

struct Answer {
  int status = 200;
  std::string status_line = "200 OK";
  std::string content_type = "text/html";
  std::string charset;
  std::vector<std::pair<std::string, std::string>> headers;
  std::vector<Cookie> cookies;
  std::string body;  // what is buffered and not yet sent
  bool buffering = true;
  bool ended = false;        // Response.End, Redirect or the end of the page
  bool head_sent = false;    // after Flush, the rest goes in chunks
  bool send_body = true;     // false for HEAD
  bool close_after = false;  // flushed to an HTTP/1.0 client: the end of data ends it
};

struct Exchange {
  HttpRequest http;
  std::wstring site_root;  // Windows path, no trailing separator
  SitePath page;
  std::wstring remote_address;
  int remote_port = 0;
  int server_port = 0;
  UINT code_page = CP_ACP;   // of the page: scripts' text, form values, output
  LONG script_timeout = 90;  // seconds; the watchdog reads it
  Answer answer;
  ResponseSink* sink = nullptr;
  std::shared_ptr<SessionState> session;  // made when the page first uses Session
  std::string new_session_cookie;         // Set-Cookie for a session made by this request
  bool session_abandoned = false;
  int application_locks = 0;                         // released when the page ends
  const std::vector<std::string>* blocks = nullptr;  // the page's literal text, for WriteBlock

  // Text to and from the page's code page.
  std::string ToPage(const std::wstring& text) const;
  std::wstring FromPage(const std::string& bytes) const;
  // The head of the answer (status line, headers, cookies), with Content-Length when the
  // length is known (>= 0) or chunked transfer otherwise (an HTTP/1.0 client gets neither
  // and the connection closes after the answer).
  std::string Head(long long length, bool keep_alive) const;
  // Sends what is buffered now (Response.Flush, or unbuffered output): the head first,
  // then the text as one chunk. False when the client is gone.
  bool SendBuffered();
  // Ends the answer: the whole of it with its length, or the last chunk.
  bool Finish(bool keep_alive);
};

// Marks a script call that stopped the page on purpose (Response.End, Redirect): the
// engine reports it as an error, which the host then does not show.
inline constexpr HRESULT kPageEnded = static_cast<HRESULT>(0x800A7FFF);

}  // namespace pagehost
