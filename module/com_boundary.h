// The COM boundary. No C++ exception may leave a member of an interface or an entry point:
// inside a web server an exception that reaches the script host ends the process, and
// with it every site of the application pool. The only exception the component's own
// code raises is std::bad_alloc, from the standard strings and containers when memory
// runs out; members that can allocate run their body inside this guard, which turns it
// into E_OUTOFMEMORY. Operations report it through the error state instead (operation.h).
#pragma once

#include <windows.h>

#include <new>

namespace quillon {

template <class Body>
HRESULT GuardedMember(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace quillon
