#include "module/system_message.h"

#include <utility>

namespace quillon {

namespace {

// A buffer FormatMessage allocated: freed with LocalFree.
class LocalBuffer {
 public:
  LocalBuffer() = default;
  LocalBuffer(const LocalBuffer&) = delete;
  LocalBuffer& operator=(const LocalBuffer&) = delete;
  ~LocalBuffer() {
    if (p_) LocalFree(p_);
  }
  char* Get() const { return p_; }
  // FormatMessage's allocating form takes the address of the pointer, cast to LPSTR.
  LPSTR PutAsText() { return reinterpret_cast<LPSTR>(&p_); }

 private:
  char* p_ = nullptr;
};

}  // namespace

bool SystemMessage(DWORD code, std::string* text) {
  LocalBuffer message;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
      nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), message.PutAsText(), 0, nullptr);
  if (length == 0 || !message.Get()) return false;
  text->assign(message.Get(), length);
  return true;
}

}  // namespace quillon
