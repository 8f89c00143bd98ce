// In-process tests run in a single-threaded apartment, as the component does inside a
// web server. The module record is filled as DllMain would fill it.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "module/quillon_app.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  quillon::theApp.InitInstance(GetModuleHandleW(nullptr));
  const int result = RUN_ALL_TESTS();
  quillon::theApp.ExitInstance();
  CoUninitialize();
  return result;
}
