// Memory the program itself holds, counted exactly: every C++ allocation (the component
// is linked into the program, so its objects, strings, result trees and staged values
// are among them), and the blocks in use in the process heap, where COM task memory
// (BSTR, SAFEARRAY and VARIANT data) lives; run with OANOCACHE=1 so that freed strings go
// back to the heap instead of the automation library's cache. Unlike the process's
// private bytes, neither sees what Wine's LDAP library keeps for itself.
#pragma once

namespace soak {

long long LiveHeapBytes();     // C++ allocations not yet freed
long long ProcessHeapBytes();  // bytes in blocks in use in the process heap

}  // namespace soak
