#include "tools/pagehost/log.h"

#include <windows.h>

#include <cstdio>
#include <mutex>

namespace pagehost {

void LogLine(const std::wstring& line) {
  static std::mutex lock;
  const std::wstring text = L"pagehost: " + line + L"\n";
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string bytes(n > 0 ? n : 0, '\0');
  if (n > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), n,
                        nullptr, nullptr);
  std::lock_guard<std::mutex> hold(lock);
  fwrite(bytes.data(), 1, bytes.size(), stderr);
  fflush(stderr);
}

}  // namespace pagehost
