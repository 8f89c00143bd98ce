// What the process holds, measured from inside it: private memory, handles, and the
// connections to the directory server that are still open.
#pragma once

#include <windows.h>

#include <cstddef>

namespace soak {

struct ProcessSample {
  size_t private_bytes = 0;
  DWORD handles = 0;
};

// Private bytes (PrivateUsage; Wine reports 0 there and keeps the same figure in
// PagefileUsage) and the handle count (GetProcessHandleCount; Wine answers 0, so the
// process's rows of the system handle table are counted instead).
ProcessSample SampleProcess();

// Connections of this process to 127.0.0.1:port that the TCP table shows established
// (or closed by the server and not yet by us). Wine's TCP table names no owning process,
// so a row counts as ours when its local port belongs to a socket among our handles;
// connections of other processes to the same server are left out.
int OpenConnections(int port);

}  // namespace soak
