#include "tools/pagehost/script_runner.h"

#include <activscp.h>

#include "module/bstr.h"
#include "module/com_ptr.h"
#include "tools/pagehost/exchange.h"

namespace pagehost {

namespace {

using quillon::ComPtr;

constexpr wchar_t kGlobalItem[] = L"QuillonPageObjects";

// The engine's site: it hands out the global item and keeps the first error reported.
class Site final : public IActiveScriptSite {
 public:
  Site(IDispatch* globals, ScriptError* error) : globals_(globals), error_(error) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IActiveScriptSite))
      return E_NOINTERFACE;
    *out = static_cast<IActiveScriptSite*>(this);
    AddRef();
    return S_OK;
  }
  // Lives on the runner's stack and outlives the engine, which is closed first.
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  STDMETHODIMP GetLCID(LCID*) override { return E_NOTIMPL; }
  STDMETHODIMP GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** unknown,
                           ITypeInfo** info) override {
    if (info) *info = nullptr;
    if (unknown) *unknown = nullptr;
    if (!name || lstrcmpiW(name, kGlobalItem) != 0) return TYPE_E_ELEMENTNOTFOUND;
    if (mask & SCRIPTINFO_ITYPEINFO) return TYPE_E_ELEMENTNOTFOUND;  // late-bound only
    if ((mask & SCRIPTINFO_IUNKNOWN) && unknown) {
      *unknown = globals_;
      globals_->AddRef();
    }
    return S_OK;
  }
  STDMETHODIMP GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
  STDMETHODIMP OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
  STDMETHODIMP OnStateChange(SCRIPTSTATE) override { return S_OK; }
  STDMETHODIMP OnScriptError(IActiveScriptError* reported) override {
    if (!reported || error_->happened) return S_OK;
    EXCEPINFO info = {};
    reported->GetExceptionInfo(&info);
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    DWORD context = 0;
    ULONG line = 0;
    LONG column = 0;
    reported->GetSourcePosition(&context, &line, &column);
    error_->code = info.scode
                       ? info.scode
                       : (info.wCode ? MAKE_HRESULT(1, FACILITY_CONTROL, info.wCode) : E_FAIL);
    error_->happened = error_->code != kPageEnded;
    if (info.bstrSource) error_->source = info.bstrSource;
    if (info.bstrDescription) error_->description = info.bstrDescription;
    error_->script_line = line;
    error_->column = column;
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
    if (error_->code == kPageEnded) error_->code = S_OK;
    return S_OK;
  }
  STDMETHODIMP OnEnterScript() override { return S_OK; }
  STDMETHODIMP OnLeaveScript() override { return S_OK; }

 private:
  IDispatch* globals_;
  ScriptError* error_;
};

HRESULT Fail(ScriptError* error, HRESULT hr, const wchar_t* what) {
  if (!error->happened) {
    error->happened = true;
    error->code = hr;
    error->source = L"Page host";
    error->description = what;
  }
  return hr;
}

}  // namespace

HRESULT RunPage(const CompiledPage& page, IDispatch* globals, ScriptError* error) {
  const bool vb = page.language == Language::kVBScript;
  CLSID engine_id;
  HRESULT hr = CLSIDFromProgID(vb ? L"VBScript" : L"JScript", &engine_id);
  if (FAILED(hr)) return Fail(error, hr, L"The script engine is not registered.");
  ComPtr<IActiveScript> engine;
  hr = CoCreateInstance(engine_id, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript,
                        engine.PutVoid());
  if (FAILED(hr)) return Fail(error, hr, L"The script engine could not be started.");
  ComPtr<IActiveScriptParse> parse;
  hr = engine.As(IID_IActiveScriptParse, &parse);
  if (FAILED(hr)) return Fail(error, hr, L"The script engine cannot parse text.");

  Site site(globals, error);
  hr = engine->SetScriptSite(&site);
  if (SUCCEEDED(hr)) hr = parse->InitNew();
  if (SUCCEEDED(hr))
    hr = engine->AddNamedItem(kGlobalItem, SCRIPTITEM_ISVISIBLE | SCRIPTITEM_GLOBALMEMBERS);
  if (SUCCEEDED(hr)) {
    EXCEPINFO info = {};
    hr = parse->ParseScriptText(page.script.c_str(), nullptr, nullptr, nullptr, 0, 0,
                                SCRIPTTEXT_ISVISIBLE, nullptr, &info);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
  }
  // The page runs when the engine starts; a syntax error has been reported already.
  if (SUCCEEDED(hr) && !error->happened) hr = engine->SetScriptState(SCRIPTSTATE_CONNECTED);
  engine->Close();
  if (error->happened) return error->code ? error->code : E_FAIL;
  // An engine that stops without reporting (it should not) still fails the page.
  if (FAILED(hr) && hr != static_cast<HRESULT>(SCRIPT_E_REPORTED))
    return Fail(error, hr, L"The script engine failed without a report.");
  return S_OK;
}

std::wstring KnownErrorText(HRESULT code, bool vbscript) {
  // Wine's engines pass some errors on as the dispatcher's codes, without a text.
  static const struct {
    HRESULT code;
    const wchar_t* text;
  } kDispatch[] = {
      {DISP_E_DIVBYZERO, L"Division by zero"},
      {DISP_E_OVERFLOW, L"Overflow"},
      {DISP_E_TYPEMISMATCH, L"Type mismatch"},
      {DISP_E_BADINDEX, L"Subscript out of range"},
      {DISP_E_UNKNOWNNAME, L"Object doesn't support this property or method"},
      {DISP_E_MEMBERNOTFOUND, L"Object doesn't support this property or method"},
      {DISP_E_BADPARAMCOUNT, L"Wrong number of arguments or invalid property assignment"},
      {DISP_E_PARAMNOTOPTIONAL, L"Argument not optional"},
      {E_OUTOFMEMORY, L"Out of memory"},
  };
  for (const auto& e : kDispatch) {
    if (e.code == code) return e.text;
  }
  if (HRESULT_FACILITY(code) != FACILITY_CONTROL) return L"";
  const unsigned n = HRESULT_CODE(code);
  static const struct {
    unsigned code;
    const wchar_t* text;
  } kCommon[] = {
      {5, L"Invalid procedure call or argument"},
      {6, L"Overflow"},
      {7, L"Out of memory"},
      {9, L"Subscript out of range"},
      {10, L"This array is fixed or temporarily locked"},
      {11, L"Division by zero"},
      {13, L"Type mismatch"},
      {14, L"Out of string space"},
      {28, L"Out of stack space"},
      {35, L"Sub or Function not defined"},
      {48, L"Error in loading DLL"},
      {51, L"Internal error"},
      {91, L"Object variable not set"},
      {92, L"For loop not initialized"},
      {94, L"Invalid use of Null"},
      {424, L"Object required"},
      {429, L"ActiveX component can't create object"},
      {438, L"Object doesn't support this property or method"},
      {440, L"Automation error"},
      {445, L"Object doesn't support this action"},
      {446, L"Object doesn't support named arguments"},
      {448, L"Named argument not found"},
      {449, L"Argument not optional"},
      {450, L"Wrong number of arguments or invalid property assignment"},
      {451, L"Object not a collection"},
      {500, L"Variable is undefined"},
      {501, L"Illegal assignment"},
      {502, L"Object not safe for scripting"},
      {1001, L"Out of memory"},
      {1002, L"Syntax error"},
      {1003, L"Expected ':'"},
      {1005, L"Expected '('"},
      {1006, L"Expected ')'"},
      {1007, L"Expected ']'"},
      {1010, L"Expected identifier"},
      {1011, L"Expected '='"},
      {1012, L"Expected 'If'"},
      {1013, L"Expected 'To'"},
      {1014, L"Expected 'End'"},
      {1015, L"Expected 'Function'"},
      {1016, L"Expected 'Sub'"},
      {1017, L"Expected 'Then'"},
      {1018, L"Expected 'Wend'"},
      {1019, L"Expected 'Loop'"},
      {1020, L"Expected 'Next'"},
      {1021, L"Expected 'Case'"},
      {1022, L"Expected 'Select'"},
      {1023, L"Expected expression"},
      {1024, L"Expected statement"},
      {1025, L"Expected end of statement"},
      {1026, L"Expected integer constant"},
      {1027, L"Expected 'While' or 'Until'"},
      {1028, L"Expected 'While', 'Until' or end of statement"},
      {1029, L"Expected 'With'"},
      {1030, L"Identifier too long"},
      {1031, L"Invalid number"},
      {1032, L"Invalid character"},
      {1033, L"Unterminated string constant"},
      {1041, L"Name redefined"},
      {1042, L"Must be first statement on the line"},
      {1044, L"Cannot use parentheses when calling a Sub"},
      {1045, L"Expected literal constant"},
      {1046, L"Expected 'In'"},
      {1047, L"Expected 'Class'"},
      {1048, L"Must be defined inside a Class"},
      {1049, L"Expected Let or Set or Get in property declaration"},
      {1050, L"Expected 'Property'"},
      {1053, L"Class initialize or terminate do not have arguments"},
      {1057, L"A 'Default' member must also be declared 'Public'"},
      {5017, L"Syntax error in regular expression"},
      {5018, L"Unexpected quantifier"},
      {5019, L"Expected ']' in regular expression"},
      {5020, L"Expected ')' in regular expression"},
  };
  static const struct {
    unsigned code;
    const wchar_t* text;
  } kJScript[] = {
      {1002, L"Syntax error"},
      {1003, L"Expected ':'"},
      {1004, L"Expected ';'"},
      {1005, L"Expected '('"},
      {1006, L"Expected ')'"},
      {1007, L"Expected ']'"},
      {1008, L"Expected '{'"},
      {1009, L"Expected '}'"},
      {1010, L"Expected identifier"},
      {1011, L"Expected '='"},
      {1014, L"Invalid character"},
      {1015, L"Unterminated string constant"},
      {1016, L"Unterminated comment"},
      {1018, L"'return' statement outside of function"},
      {1019, L"Can't have 'break' outside of loop"},
      {1020, L"Can't have 'continue' outside of loop"},
      {1028, L"Expected identifier, string or number"},
      {5001, L"Number expected"},
      {5002, L"Function expected"},
      {5007, L"Object expected"},
      {5009, L"Undefined identifier"},
      {5029, L"Array length must be a finite positive integer"},
      {5030, L"Array length must be assigned a finite positive number"},
  };
  if (!vbscript) {
    for (const auto& e : kJScript) {
      if (e.code == n) return e.text;
    }
  }
  for (const auto& e : kCommon) {
    if (e.code == n) return e.text;
  }
  return L"";
}

}  // namespace pagehost
