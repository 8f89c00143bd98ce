#include "tools/pagehost/exchange.h"

#include <cstdio>

namespace pagehost {

std::string Exchange::ToPage(const std::wstring& text) const {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) {
    WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
  }
  return out;
}

std::wstring Exchange::FromPage(const std::string& bytes) const {
  if (bytes.empty()) return {};
  const int n =
      MultiByteToWideChar(code_page, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring out(n > 0 ? n : 0, L'\0');
  if (n > 0) {
    MultiByteToWideChar(code_page, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
  }
  return out;
}

std::string Exchange::Head(long long length, bool keep_alive) const {
  std::string head = "HTTP/1.1 " + answer.status_line + "\r\n";
  head += "Server: Quillon-PageHost\r\n";
  head += "Content-Type: " + answer.content_type;
  if (!answer.charset.empty()) head += "; charset=" + answer.charset;
  head += "\r\n";
  if (length >= 0) {
    head += "Content-Length: " + std::to_string(length) + "\r\n";
  } else if (http.minor_version >= 1) {
    head += "Transfer-Encoding: chunked\r\n";
  }
  head += "Cache-Control: private\r\n";
  for (const auto& [name, value] : answer.headers) head += name + ": " + value + "\r\n";
  if (!new_session_cookie.empty()) head += "Set-Cookie: " + new_session_cookie + "\r\n";
  for (const Cookie& c : answer.cookies) {
    head += "Set-Cookie: " + c.name + "=" + c.value + "; path=" + c.path + "\r\n";
  }
  head += keep_alive ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
  head += "\r\n";
  return head;
}

bool Exchange::SendBuffered() {
  if (!sink) return false;
  if (!answer.head_sent) {
    answer.head_sent = true;
    answer.close_after = http.minor_version == 0;
    if (!sink->Send(Head(-1, !answer.close_after))) return false;
  }
  if (answer.body.empty() || !answer.send_body) {
    answer.body.clear();
    return true;
  }
  std::string chunk;
  if (answer.close_after) {
    chunk.swap(answer.body);
  } else {
    char size[20];
    snprintf(size, sizeof size, "%zx\r\n", answer.body.size());
    chunk = size + answer.body + "\r\n";
    answer.body.clear();
  }
  return sink->Send(chunk);
}

bool Exchange::Finish(bool keep_alive) {
  if (!sink) return false;
  if (answer.head_sent) {
    if (!SendBuffered()) return false;
    return answer.close_after || !answer.send_body || sink->Send("0\r\n\r\n");
  }
  std::string all = Head(static_cast<long long>(answer.body.size()), keep_alive);
  if (answer.send_body) all += answer.body;
  answer.body.clear();
  return sink->Send(all);
}

}  // namespace pagehost
