#include "carrier/MwChannelGrid.h"

#include <cmath>
#include <cstdint>

std::vector<int> MwChannelGrid::setMwChannels()
{
    std::vector<int> channels;
    for (int f = kLowestKHz; f <= kHighestKHz; ++f) {
        if ((f - 530) % 10 == 0 || (f - 531) % 9 == 0)
            channels.push_back(f);
    }
    return channels;
}

std::vector<int> MwChannelGrid::channelsInBand(double centerFreq, double sampleRate)
{
    const double lowEdge = std::trunc(centerFreq - sampleRate * 0.5);
    const double highEdge = std::trunc(centerFreq + sampleRate * 0.5);
    if (!std::isfinite(lowEdge) || !std::isfinite(highEdge))
        return {};
    // Integer division truncates toward zero, as the edges do.
    const double lo = std::trunc(lowEdge / 1000.0);
    const double hi = std::trunc(highEdge / 1000.0);
    std::vector<int> inside;
    for (int f : setMwChannels()) {
        if (f > lo && f < hi)
            inside.push_back(f);
    }
    return inside;
}
