// The web server's interfaces through which the component learns which page is running:
// the transaction-server object context (IObjectContext, IGetContextProperties, from
// comsvcs.h) and the ASP request object (IRequest, IRequestDictionary, from asptlb.h),
// with their published identifiers. Shared with the test stand-in of the context module.
#pragma once

#include <windows.h>
#include <mtx.h>
#include <asptlb.h>

// comsvcs.h maps GetObjectContext onto COM+'s CoGetObjectContext; the component calls the
// export of the context module instead, looked up when a check runs.
#undef GetObjectContext

namespace quillon {

// The module that exports GetObjectContext on a web server. It is loaded only while a
// check runs, so the component also loads where the module is absent.
inline constexpr char kContextModule[] = "mtxex.dll";
inline constexpr char kGetObjectContextExport[] = "GetObjectContext";
using GetObjectContextFn = HRESULT(__cdecl*)(IObjectContext** context);

}  // namespace quillon
