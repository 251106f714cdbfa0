#include "WaveLayouts.h"

Recognition recogniseWaveLayout(const LayoutSource& file, LayoutParameters& d, std::vector<std::string>& lines)
{
    Recognition r = tryToSdrRadioHeader(file, d, lines);
    if (r == Recognition::Rejected)
        r = tryToSdrSharpHeader(file, d, lines);
    if (r == Recognition::Rejected)
        r = tryToSdrSdrStudio1(file, d);
    if (r == Recognition::Rejected)
        r = tryToSdrSdrStudio2(file, d);
    if (r == Recognition::Rejected)
        r = tryToReadPerseusHeader(file, d, lines);
    if (r == Recognition::Rejected)
        r = readRfspaceHeader(file, d, lines);
    return r;
}
