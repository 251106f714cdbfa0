#pragma once

#include <string>
#include <vector>

// `korvel-cli carrier FILE... -o OUT.bin [--fft-size N] [--half-span HZ] [--png OUT.png --channel K]`
// and `korvel-cli carrier --load FILE.bin --png OUT.png --channel K`: the
// carrier analysis of a series of recordings to an analysis file, and the
// picture of one channel of an analysis as a PNG. `args` are the words after
// "carrier". Returns the exit status: 0, or 2 after a "korvel-cli: ..." line
// on stderr.
int runCarrierCommand(const std::vector<std::string>& args);
