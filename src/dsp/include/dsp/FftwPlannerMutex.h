#pragma once

#include <mutex>

// FFTW's planner (plan creation and destruction) is not thread-safe; every caller in
// the process takes this lock around those calls. Executing a plan needs no lock.
std::mutex& FftwPlannerMutex();
