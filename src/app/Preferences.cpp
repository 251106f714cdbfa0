#include "app/Preferences.h"

QSettings Preferences()
{
    return QSettings("Korvel", "Korvel");
}

double PreferenceNumber(const QSettings& settings, const NumberSetting& setting)
{
    bool ok = false;
    const double value = settings.value(setting.key).toDouble(&ok);
    return setting.stored(ok ? std::optional<double>(value) : std::nullopt);
}
