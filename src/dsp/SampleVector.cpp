#include "dsp/SampleVector.h"

#include <atomic>

namespace {

bool MachineHasWideVectors()
{
#if defined(__x86_64__) && defined(__GNUC__)
    __builtin_cpu_init(); // this runs during static initialisation
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
    return false;
#endif
}

const bool machineHasWideVectors = MachineHasWideVectors();
std::atomic<bool> wideVectorsEnabled{true};

} // namespace

bool WideVectorsAvailable() { return machineHasWideVectors && wideVectorsEnabled.load(std::memory_order_relaxed); }

void SetWideVectorsEnabled(bool enabled) { wideVectorsEnabled = enabled; }
