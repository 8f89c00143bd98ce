// Failure reports and progress, shared by the harness and its tests.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "harness.h"

namespace quillon::fuzz {

namespace {

uint64_t g_seed = 0;
volatile uint64_t g_call = 0;
volatile LONG g_progress = 0;
char g_action[256] = "start";
int g_failures = 0;
constexpr int kReportedFailures = 25;

}  // namespace

void SetSeed(uint64_t seed) {
  g_seed = seed;
}

void Report(const char* what) {
  fprintf(stderr, "%s: seed %llu, call %llu, during %s\n", what,
          static_cast<unsigned long long>(g_seed), static_cast<unsigned long long>(g_call),
          g_action);
  fflush(stderr);
}

LONG ProgressCount() {
  return g_progress;
}

void SetAction(const char* format, ...) {
  char action[sizeof(g_action)];  // the arguments may quote the current action
  va_list args;
  va_start(args, format);
  vsnprintf(action, sizeof(action), format, args);
  va_end(args);
  memcpy(g_action, action, sizeof(g_action));
}

const char* CurrentAction() {
  return g_action;
}

void Fail(const char* format, ...) {
  ++g_failures;
  if (g_failures > kReportedFailures) return;
  char message[512];
  va_list args;
  va_start(args, format);
  vsnprintf(message, sizeof(message), format, args);
  va_end(args);
  fprintf(stderr, "FAIL: %s\n", message);
  Report("  at");
}

int Failures() {
  return g_failures;
}

void Progress() {
  ++g_call;
  InterlockedIncrement(&g_progress);
}

uint64_t CallsMade() {
  return g_call;
}

}  // namespace quillon::fuzz
