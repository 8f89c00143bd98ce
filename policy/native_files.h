// The file system as the administrator sees it, also from the 32-bit component on a 64-bit
// system. There the system redirects a 32-bit process's accesses under %windir%\System32
// to SysWOW64, so a policy installed under System32 would look absent to 32-bit pages and
// let them do everything that the same site's 64-bit pages are refused. The policy's file
// accesses therefore run with that redirection turned off for the calling thread.
#pragma once

#include <windows.h>

namespace quillon {

// Turns the redirection off on this thread for its lifetime, where there is any.
class NativeFileView {
 public:
  NativeFileView();
  ~NativeFileView();
  NativeFileView(const NativeFileView&) = delete;
  NativeFileView& operator=(const NativeFileView&) = delete;

  // False when the redirection is in force and could not be turned off: the caller must
  // then treat the files as unreadable, never as absent. GetLastError tells why.
  bool Ready() const { return ready_; }

 private:
  void* previous_ = nullptr;
  bool turned_off_ = false;
  bool ready_ = true;
};

}  // namespace quillon
