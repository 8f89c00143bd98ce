// What the parts of the harness share: the run's settings, failure reporting with the
// context needed to repeat a failure, and the two drivers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "random_values.h"

namespace quillon::fuzz {

struct RunSettings {
  uint64_t seed = 1;
  uint64_t calls = 100000;
  std::string work_dir;     // Windows path of a folder the run may write to
  std::string standin_dir;  // Windows path of the stand-in web server's context module
  unsigned leak_rounds = 6;
  uint64_t leak_round_calls = 1500;
  long max_growth_kib = 2048;  // allowed growth of private bytes over the replayed rounds
  // Small responses only: with the platform validating the whole heap on every heap call,
  // a response of thousands of entries would take minutes.
  bool lean = false;
  long trace_memory_kib = 0;
  bool plain_invoke = false;  // set for the replayed rounds  // > 0: print each step that leaves
                              // more than this behind
};

// Private bytes of the process as the system counts them.
SIZE_T PrivateBytes();

void SetSeed(uint64_t seed);
// Prints what happened with the seed, the call number and the action under way.
void Report(const char* what);
LONG ProgressCount();

// The action under way, for the failure report, the crash handler and the watchdog.
void SetAction(const char* format, ...);
const char* CurrentAction();
// Counts a failed check and prints it with the seed and the action under way.
void Fail(const char* format, ...);
int Failures();
// Counts one call into the component; the watchdog watches the count.
void Progress();
uint64_t CallsMade();

// Drives Ldap objects and their results with `count` random calls from rng. Returns the
// number of calls made.
uint64_t RunSessionCalls(Rng& rng, uint64_t first_call, uint64_t count,
                         const RunSettings& settings);
// How many Invoke calls the platform's dispatcher refused because an argument could not
// be converted. Each keeps the copies it made of the other arguments (a platform leak),
// so private bytes cannot be judged over stretches that contain one.
uint64_t DispatcherRefusals();
// Releases everything the session driver holds and checks that nothing is left:
// objects, module locks, library resources.
void CheckSessionQuiet();

// The hosting-policy store: registry values and INI files of every odd kind, read through
// the policy functions and through operations, in a prefix of its own.
uint64_t RunPolicyCalls(Rng& rng, uint64_t count, const RunSettings& settings);

}  // namespace quillon::fuzz
