// What the tests that start servers as child processes share.
#pragma once

#include <sys/types.h>

#include <chrono>

// Waits for the child's exit until the deadline, then kills it; its exit status, or -1 when it
// did not exit by itself or ended by a signal.
int WaitForExit(pid_t pid, std::chrono::steady_clock::time_point deadline);
