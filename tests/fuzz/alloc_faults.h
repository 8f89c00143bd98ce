// Allocation failures on demand. The harness replaces the process's operator new, which
// the component's code and the standard library inside this executable both use, so that
// a chosen allocation fails as it would when the web server's memory runs out: the
// throwing forms throw std::bad_alloc, the nothrow forms answer null.
#pragma once

namespace quillon::fuzz {

// The allocation after `skip` more successful ones fails; with keep_failing every later
// one fails too, until disarmed (memory that stays short).
void ArmAllocationFault(unsigned skip, bool keep_failing);
void DisarmAllocationFault();
// Whether an armed failure has been delivered since it was armed.
bool AllocationFaultFired();

// Bytes allocated through operator new and not yet freed (C++ objects of the component,
// the standard library and the harness; not the platform's BSTRs and arrays).
long long LiveAllocatedBytes();

// Suspends failures on this thread while it lives: the stand-in LDAP library allocates
// as the real one does, outside operator new's reach.
class NoAllocationFaults {
 public:
  NoAllocationFaults();
  ~NoAllocationFaults();
  NoAllocationFaults(const NoAllocationFaults&) = delete;
  NoAllocationFaults& operator=(const NoAllocationFaults&) = delete;
};

}  // namespace quillon::fuzz
