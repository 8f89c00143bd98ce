#include "alloc_faults.h"

#include <windows.h>

#include <cstdlib>
#include <new>

namespace quillon::fuzz {

namespace {

// The harness drives the component from one thread; the watchdog never allocates.
bool g_armed = false;
bool g_keep_failing = false;
bool g_fired = false;
unsigned g_skip = 0;
int g_suspended = 0;

bool ShouldFail() {
  if (!g_armed || g_suspended > 0) return false;
  if (g_fired) return g_keep_failing;
  if (g_skip > 0) {
    --g_skip;
    return false;
  }
  g_fired = true;
  return true;
}

// Counted with interlocked operations: an operation's connect thread allocates too.
volatile LONGLONG g_live_bytes = 0;

// Each block carries its size in front of it (16 bytes keep the alignment), so that the
// bytes still allocated can be counted.
constexpr std::size_t kHeader = 16;

void* Allocate(std::size_t n) noexcept {
  if (ShouldFail()) return nullptr;
  auto* block = static_cast<unsigned char*>(std::malloc(n + kHeader));
  if (!block) return nullptr;
  *reinterpret_cast<std::size_t*>(block) = n;
  InterlockedExchangeAdd64(&g_live_bytes, static_cast<LONGLONG>(n));
  return block + kHeader;
}

void Free(void* p) noexcept {
  if (!p) return;
  unsigned char* block = static_cast<unsigned char*>(p) - kHeader;
  InterlockedExchangeAdd64(&g_live_bytes,
                           -static_cast<LONGLONG>(*reinterpret_cast<std::size_t*>(block)));
  std::free(block);
}

}  // namespace

void ArmAllocationFault(unsigned skip, bool keep_failing) {
  g_skip = skip;
  g_keep_failing = keep_failing;
  g_fired = false;
  g_armed = true;
}

void DisarmAllocationFault() {
  g_armed = false;
}

bool AllocationFaultFired() {
  return g_fired;
}

long long LiveAllocatedBytes() {
  return InterlockedCompareExchange64(&g_live_bytes, 0, 0);
}

NoAllocationFaults::NoAllocationFaults() {
  ++g_suspended;
}

NoAllocationFaults::~NoAllocationFaults() {
  --g_suspended;
}

}  // namespace quillon::fuzz

using quillon::fuzz::Allocate;
using quillon::fuzz::Free;

void* operator new(std::size_t n) {
  if (void* p = Allocate(n)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
  if (void* p = Allocate(n)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  return Allocate(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  return Allocate(n);
}
void operator delete(void* p) noexcept {
  Free(p);
}
void operator delete[](void* p) noexcept {
  Free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  Free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  Free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  Free(p);
}
