// Which page is running: the physical path of the current request's script file
// ("PATH_TRANSLATED"), asked of the web server through the object context every time a
// check runs. Nothing is kept between checks.
#pragma once

#include <windows.h>

#include <string>

#include "module/com_ptr.h"
#include "policy/context_interfaces.h"

namespace quillon {

// The three interfaces leading to the request, owned by the caller.
struct RequestObjects {
  ComPtr<IObjectContext> object_context;
  ComPtr<IGetContextProperties> context_properties;
  ComPtr<IRequest> request;
};

// GetObjectContext (from the loaded context module, which must outlive the objects) ->
// IGetContextProperties -> property "Request" -> IRequest. A missing module or export
// fails with the code of the system's last error.
HRESULT GetRequestObject(HMODULE context_module, RequestObjects* objects);

// 1 with the page path as the web server gives it, in UTF-16, or 0 with the system's text
// for the thread's last error in failure. The path is never converted for matching: a
// character a code page cannot hold must not turn into a look-alike.
int GetPagePath(std::wstring* page, std::string* failure);
// The same with the page path as text of the store's code page, for showing it.
int GetPagePath(std::string* out);

}  // namespace quillon
