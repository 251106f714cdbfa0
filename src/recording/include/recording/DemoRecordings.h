#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Writes a small set of synthetic recordings, one per file layout Korvel reads,
// with signals at known frequencies for every demodulation mode: a first-run
// folder for new users and a fixture for end-to-end tests.
class DemoRecordings {
public:
    struct Signal {
        double kHz;      // the frequency the description names
        double lowKHz;   // the spectrum the signal occupies
        double highKHz;
    };
    struct Entry {
        std::string fileName;
        std::string description;  // what can be heard where
        std::vector<Signal> signals;
    };

    // The recordings that writeAll() produces, in the order it writes them.
    static std::vector<Entry> catalogue();

    // Writes every recording into `folder` (created if missing), each through a
    // temporary name. Returns false with `error` set on the first failure.
    static bool writeAll(const std::string& folder, std::string& error);

    // Adds a signal to sample n's I and Q (16-bit units).
    using SampleSource = std::function<void(int64_t n, double& i, double& q)>;
    // Writes one more 16-bit recording in the SDRSharp layout (`entry.fileName`
    // must carry the centre frequency and start time as that layout names them)
    // with the same background noise, through a temporary name.
    static bool writeExtra(const std::string& folder, const Entry& entry, int sampleRate, int seconds,
                           double centerHz, const SampleSource& source, std::string& error);
};
