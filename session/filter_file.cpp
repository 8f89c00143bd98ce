#include "session/filter_file.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <new>
#include <string_view>

#include "module/ansi_text.h"
#include "results/value_text.h"

namespace quillon {

namespace {

class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : h_(h) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  HANDLE Get() const { return h_; }
  bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE h_;
};

}  // namespace

bool ReadFilterFile(const wchar_t* path, std::string* text) {
  if (!path || !*path) return false;
  FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return false;
  LARGE_INTEGER size{};
  // A file whose size does not fit in 32 bits is refused rather than read in part.
  if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0 || size.QuadPart >= 0xFFFFFFFFLL) {
    return false;
  }
  const DWORD wanted = static_cast<DWORD>(size.QuadPart);
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[size_t{wanted} + 1]);
  if (!buffer) return false;
  // Never more than the buffer holds, even if the file grows while it is read.
  DWORD got = 0;
  if (!ReadFile(file.Get(), buffer.get(), wanted, &got, nullptr)) return false;
  buffer[got] = '\0';
  const std::string_view bytes(buffer.get(), strlen(buffer.get()));
  // A file written as UTF-8 is taken as it is; any other is text of the thread's code page.
  if (IsUtf8BeyondAscii(bytes)) {
    text->assign(bytes);
  } else {
    *text = ToText(std::wstring_view(ToWide(bytes, CodePage())));
  }
  return true;
}

}  // namespace quillon
