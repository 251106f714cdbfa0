#pragma once

#include "common/Settings.h"

#include <QSettings>
#include <QString>

#include <string_view>

// The app's preferences: one store for every window, the file korvel-cli
// also reads (common/SettingsFile.h). Keys, defaults and ranges are the
// core's (common/Settings.h).
QSettings Preferences();

// A stored number, or the setting's fallback when it is missing, no number
// or out of its range.
double PreferenceNumber(const QSettings& settings, const NumberSetting& setting);
