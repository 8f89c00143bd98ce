// The page's intrinsic objects besides Request, and the one global item that shows them
// all to the script. Wine's engines cannot call a named item's default member with
// arguments, so Request, Response, Server, Session and Application are properties of a
// single item added with SCRIPTITEM_GLOBALMEMBERS, not items of their own.
#pragma once

#include <oaidl.h>

#include <memory>

#include "tools/pagehost/exchange.h"

namespace pagehost {

class HostState;

// Each returns a new object with one reference, the caller's.
IDispatch* NewResponse(std::shared_ptr<Exchange> exchange);
IDispatch* NewServer(std::shared_ptr<Exchange> exchange);
IDispatch* NewPageGlobals(std::shared_ptr<Exchange> exchange, HostState* host, IDispatch* request);

}  // namespace pagehost
