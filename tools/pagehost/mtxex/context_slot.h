// The host's side of its own mtxex.dll: the host names the running request of a thread,
// and the DLL's GetObjectContext answers with a context that gives that request.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <asptlb.h>

namespace pagehost {

// Sets (or with null, clears) the request of the calling thread; the DLL keeps a
// reference until it is cleared.
inline constexpr char kSetRequestExport[] = "PageHostSetRequest";
using SetRequestFn = void(__cdecl*)(IRequest* request);

}  // namespace pagehost
