// Asking the web server which page runs. The stand-in context module plays the web
// server (IIS cannot run under Wine); every call goes through the real interface tables.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "policy/kt_functions.h"
#include "policy/site_identification.h"
#include "policy_test_support.h"
#include "tests/unit/test_support.h"

namespace quillon {
namespace {

using test::PageRequest;

std::string ErrorText(DWORD code) {
  return CKtFunctions().GetErrorText(code);
}

// Keeps the stand-in loaded across the component's own load and unload, so its count of
// live objects can be read after each call.
class StandIn {
 public:
  StandIn()
      : module_(LoadLibraryA((test::WindowsPath(QUILLON_STANDIN_DIR) + "\\mtxex.dll").c_str())) {}
  ~StandIn() {
    if (module_) FreeLibrary(module_);
  }
  long LiveObjects() const {
    using Count = LONG(__cdecl*)();
    auto count = reinterpret_cast<Count>(
        reinterpret_cast<void*>(GetProcAddress(module_, "StandInLiveObjects")));
    return count ? count() : -1;
  }

 private:
  HMODULE module_;
};

struct PagePath {
  int result;
  std::string text;
};

PagePath Ask() {
  PagePath p{-1, "untouched"};
  p.result = GetPagePath(&p.text);
  return p;
}

TEST(PolicySite, WithoutTheContextModuleThePageIsUnknown) {
  // Wine, like a plain script host, has no context module: the system's text for the
  // failed load is the answer.
  SetEnvironmentVariableA("PATH_TRANSLATED", "D:\\Web\\Site1\\a.asp");
  const PagePath p = Ask();
  SetEnvironmentVariableA("PATH_TRANSLATED", nullptr);
  EXPECT_EQ(p.result, 0);
  EXPECT_EQ(p.text, ErrorText(ERROR_MOD_NOT_FOUND));
}

TEST(PolicySite, ThePagePathOfTheCurrentRequest) {
  StandIn stand_in;
  {
    PageRequest request("D:\\Web\\Site1\\shop\\default.asp");
    const PagePath p = Ask();
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.text, "D:\\Web\\Site1\\shop\\default.asp");
  }
  {
    PageRequest request("");  // a request that has the variable, empty
    const PagePath p = Ask();
    EXPECT_EQ(p.result, 1);
    EXPECT_EQ(p.text, "");
  }
  EXPECT_EQ(stand_in.LiveObjects(), 0);
}

// As text, the page path is in the code page the store is read in, whatever the thread's
// locale; a character that code page lacks becomes its default character, never a
// look-alike (the full-width S is not "S").
TEST(PolicyMultibyteSite, ThePagePathInTheSystemsCodePage) {
  StandIn stand_in;
  test::ScopedThreadLocale japanese(test::kJapanese);
  PageRequest request(nullptr);
  SetEnvironmentVariableW(L"PATH_TRANSLATED", L"D:\\\x8868\\\xFF33.asp");
  const PagePath p = Ask();
  EXPECT_EQ(p.result, 1);
  EXPECT_EQ(p.text, GetACP() == 932 ? "D:\\\x95\x5C\\\x82\x72.asp" : "D:\\?\\?.asp");
}

TEST(PolicySite, OutsideARequestTheLastErrorExplainsTheRefusal) {
  StandIn stand_in;
  PageRequest no_request;
  SetLastError(ERROR_ACCESS_DENIED);
  const PagePath p = Ask();
  EXPECT_EQ(p.result, 0);
  EXPECT_EQ(p.text, ErrorText(ERROR_ACCESS_DENIED));
  // With no last error, the failure's own code explains it rather than "success".
  SetLastError(ERROR_SUCCESS);
  const PagePath q = Ask();
  EXPECT_EQ(q.result, 0);
  EXPECT_EQ(q.text, ErrorText(static_cast<DWORD>(CONTEXT_E_NOCONTEXT)));
  EXPECT_NE(q.text, ErrorText(ERROR_SUCCESS));
}

TEST(PolicySite, EveryFailingStepReleasesWhatItObtained) {
  StandIn stand_in;
  struct Case {
    const char* step;
    DWORD last_error;  // what the stand-in leaves behind, 0 for nothing
  };
  for (const Case& c :
       {Case{"Context", 0}, Case{"Request", ERROR_NOT_FOUND}, Case{"NotARequest", 0},
        Case{"ServerVariables", ERROR_ACCESS_DENIED}, Case{"Item", 0}}) {
    PageRequest request("D:\\Web\\a.asp");
    request.FailAt(c.step);
    SetLastError(ERROR_SUCCESS);
    const PagePath p = Ask();
    EXPECT_EQ(p.result, 0) << c.step;
    if (c.last_error) {
      EXPECT_EQ(p.text, ErrorText(c.last_error)) << c.step;
    } else {
      EXPECT_NE(p.text, ErrorText(ERROR_SUCCESS)) << c.step << ": " << p.text;
    }
    EXPECT_EQ(stand_in.LiveObjects(), 0) << c.step;
  }
}

}  // namespace
}  // namespace quillon
