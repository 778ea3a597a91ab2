// A counting operator new for the tests that check a path allocates
// nothing: link tests/support/AllocCounter.cpp into the test program (it
// replaces the global operator new of the whole program).
#pragma once

#include <atomic>

extern std::atomic<bool> g_counting;
extern std::atomic<long> g_allocations;
