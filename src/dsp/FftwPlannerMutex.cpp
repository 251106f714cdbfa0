#include "dsp/FftwPlannerMutex.h"

std::mutex& FftwPlannerMutex()
{
    static std::mutex mutex;
    return mutex;
}
