#include "policy/native_files.h"

namespace quillon {

namespace {

bool IsRedirected() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

}  // namespace

NativeFileView::NativeFileView() {
  if (!IsRedirected()) return;
  turned_off_ = Wow64DisableWow64FsRedirection(&previous_) != FALSE;
  ready_ = turned_off_;
}

NativeFileView::~NativeFileView() {
  if (turned_off_) Wow64RevertWow64FsRedirection(previous_);
}

}  // namespace quillon
