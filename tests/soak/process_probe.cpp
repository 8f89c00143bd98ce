#include "process_probe.h"

#include <winsock2.h>
#include <iphlpapi.h>
#include <psapi.h>

#include <set>
#include <vector>

namespace soak {

namespace {

// SystemExtendedHandleInformation, which winternl.h does not declare.
constexpr ULONG kExtendedHandleInformation = 64;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);

struct HandleEntry {
  PVOID object;
  ULONG_PTR process_id;
  ULONG_PTR handle;
  ULONG access;
  USHORT back_trace;
  USHORT type;
  ULONG attributes;
  ULONG reserved;
};
struct HandleTable {
  ULONG_PTR count;
  ULONG_PTR reserved;
  HandleEntry entries[1];
};

using QuerySystemInformation = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

// The handle values this process holds.
std::vector<HANDLE> OwnHandles() {
  std::vector<HANDLE> own;
  const auto query = reinterpret_cast<QuerySystemInformation>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return own;
  std::vector<unsigned char> buffer(1 << 20);
  LONG status = 0;
  for (;;) {
    ULONG needed = 0;
    status = query(kExtendedHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                   &needed);
    if (status != kInfoLengthMismatch) break;
    buffer.resize(buffer.size() * 2);
  }
  if (status < 0) return own;
  const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
  const ULONG_PTR me = GetCurrentProcessId();
  for (ULONG_PTR i = 0; i < table->count; ++i) {
    if (table->entries[i].process_id == me) {
      own.push_back(reinterpret_cast<HANDLE>(table->entries[i].handle));
    }
  }
  return own;
}

// Local ports (network byte order) of our sockets whose peer is 127.0.0.1:port.
std::set<DWORD> OwnLocalPorts(int port) {
  std::set<DWORD> ports;
  for (HANDLE h : OwnHandles()) {
    const auto s = reinterpret_cast<SOCKET>(h);
    sockaddr_in peer{}, local{};
    int peer_length = sizeof(peer), local_length = sizeof(local);
    if (getpeername(s, reinterpret_cast<sockaddr*>(&peer), &peer_length) != 0) continue;
    if (peer.sin_family != AF_INET || ntohs(peer.sin_port) != port) continue;
    if (getsockname(s, reinterpret_cast<sockaddr*>(&local), &local_length) != 0) continue;
    ports.insert(local.sin_port);
  }
  return ports;
}

}  // namespace

ProcessSample SampleProcess() {
  ProcessSample sample;
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof(counters);
  if (K32GetProcessMemoryInfo(GetCurrentProcess(),
                              reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                              sizeof(counters))) {
    sample.private_bytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
  }
  if (!GetProcessHandleCount(GetCurrentProcess(), &sample.handles) || sample.handles == 0) {
    sample.handles = static_cast<DWORD>(OwnHandles().size());
  }
  return sample;
}

int OpenConnections(int port) {
  const std::set<DWORD> own = OwnLocalPorts(port);
  // The table can grow between asking its size and reading it (other tests open
  // connections too): ask again with the size it then needs.
  std::vector<unsigned char> buffer;
  ULONG size = 0;
  DWORD rc = GetTcpTable(nullptr, &size, FALSE);
  for (int tries = 0; tries < 8; ++tries) {
    buffer.resize(size + 4096);
    size = static_cast<ULONG>(buffer.size());
    rc = GetTcpTable(reinterpret_cast<MIB_TCPTABLE*>(buffer.data()), &size, FALSE);
    if (rc != ERROR_INSUFFICIENT_BUFFER) break;
  }
  if (rc != NO_ERROR) return -1;
  const auto* table = reinterpret_cast<const MIB_TCPTABLE*>(buffer.data());
  int open = 0;
  for (DWORD i = 0; i < table->dwNumEntries; ++i) {
    const MIB_TCPROW& row = table->table[i];
    const bool to_server = ntohs(static_cast<u_short>(row.dwRemotePort)) == port;
    const bool held = row.dwState == MIB_TCP_STATE_ESTAB || row.dwState == MIB_TCP_STATE_CLOSE_WAIT;
    if (to_server && held && own.count(row.dwLocalPort & 0xFFFF)) ++open;
  }
  return open;
}

}  // namespace soak
