#include "demod/ReceiverControls.h"

#include "demod/DemodulatorObject.h"

#include <strings.h>

namespace {

struct AgcFigures {
    double hangMs, decayMs;
};

// Attack 2 ms for all; hang and decay as receivers' AGC menus offer them.
AgcFigures figuresOf(AgcChoice choice)
{
    switch (choice) {
    case AgcChoice::Fast: return {100.0, 100.0};
    case AgcChoice::Medium: return {250.0, 250.0};
    case AgcChoice::Long: return {750.0, 2000.0};
    default: return {500.0, 500.0};
    }
}

const char* const kAgcNames[] = {"auto", "off", "fast", "medium", "slow", "long"};
const char* const kDeemphasisNames[] = {"50", "75", "off"};

} // namespace

AgcSettings agcSettingsFor(const ReceiverControls& controls, int mode)
{
    AgcSettings settings;
    settings.maxGainDb = controls.maxGainDb;
    settings.manualGainDb = controls.manualGainDb;
    AgcChoice choice = controls.agc;
    if (choice == AgcChoice::Auto) {
        const bool sideband = mode == kDemodUSB || mode == kDemodLSB || mode == kDemodCWU || mode == kDemodCWL;
        if (!sideband)
            return settings; // 2 ms attack, no hang, 200 ms decay
        choice = AgcChoice::Slow;
    }
    if (choice == AgcChoice::Off) {
        settings.on = false;
        return settings;
    }
    const AgcFigures figures = figuresOf(choice);
    settings.hangMs = figures.hangMs;
    settings.decayMs = figures.decayMs;
    return settings;
}

const char* agcChoiceName(AgcChoice choice)
{
    const int index = static_cast<int>(choice);
    return index >= 0 && index <= static_cast<int>(AgcChoice::Long) ? kAgcNames[index] : kAgcNames[0];
}

std::optional<AgcChoice> agcChoiceFromName(const std::string& name)
{
    for (int i = 0; i <= static_cast<int>(AgcChoice::Long); ++i) {
        if (strcasecmp(name.c_str(), kAgcNames[i]) == 0)
            return static_cast<AgcChoice>(i);
    }
    return std::nullopt;
}

const char* deemphasisName(Deemphasis deemphasis)
{
    const int index = static_cast<int>(deemphasis);
    return index >= 0 && index <= static_cast<int>(Deemphasis::Off) ? kDeemphasisNames[index] : kDeemphasisNames[0];
}

std::optional<Deemphasis> deemphasisFromName(const std::string& name)
{
    for (int i = 0; i <= static_cast<int>(Deemphasis::Off); ++i) {
        if (strcasecmp(name.c_str(), kDeemphasisNames[i]) == 0)
            return static_cast<Deemphasis>(i);
    }
    return std::nullopt;
}
