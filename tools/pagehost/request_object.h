// The Request object as pages and the component see it: IRequest with its collections
// (IRequestDictionary) whose items are IStringList objects with a default value, as the
// web server gives them, so Request.Form("x") reaches the component as an object.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <asptlb.h>

#include <memory>
#include <string>
#include <vector>

#include "module/com_ptr.h"
#include "tools/pagehost/exchange.h"

namespace pagehost {

struct Entry {
  std::wstring key;
  std::vector<std::wstring> values;
};
using Collection = std::vector<Entry>;

// name=value&... with %XX and '+' decoded, text in the page's code page.
Collection ParseUrlEncoded(const std::string& encoded, const Exchange& exchange);
// The Cookie header's "a=b; c=d".
Collection ParseCookies(const std::string& header, const Exchange& exchange);
// The CGI variables of the request.
Collection MakeServerVariables(const Exchange& exchange);

// A new Request object for the exchange (one reference, the caller's).
IRequest* NewRequest(std::shared_ptr<Exchange> exchange);

}  // namespace pagehost
