#pragma once

#include "common/NumberText.h"

#include <optional>
#include <string_view>

// A number the user sets, in a window field, on the command line or in the
// preferences: its preference key, the value used while none is stored, the
// range it must lie in and what it measures.
struct NumberSetting {
    std::string_view key;
    double fallback;
    double low;
    double high;
    Quantity quantity = Quantity::Plain;
    bool whole = false; // an integer (a port)

    // The value typed as `text` when it is a number within the range; the
    // one check the window and korvel-cli both make.
    std::optional<double> read(std::string_view text) const
    {
        const std::optional<double> value = NumberText::parse(text, quantity);
        if (!value || *value < low || *value > high || (whole && *value != static_cast<double>(static_cast<long long>(*value))))
            return std::nullopt;
        return value;
    }

    // A stored value, or the fallback when it is missing or out of range.
    double stored(std::optional<double> value) const
    {
        return value && *value >= low && *value <= high ? *value : fallback;
    }
};

// The preferences the app keeps (its settings file, read by korvel-cli
// through SettingsFile): their keys, and for numbers their defaults and
// ranges. Keys are those of files users already have and never change.
class Settings {
public:
    // Where recordings are listed; empty means $HOME/sdr_recordings.
    static constexpr std::string_view kRecordingsFolder = "PREF_REC_FOLDER";
    static constexpr std::string_view kRecentRecordings = "recentRecordings";

    // Main window menus and waterfall settings.
    static constexpr std::string_view kDrawInColor = "drawInColor";
    static constexpr std::string_view kWriteCarrierTxt = "writeCarriertxt";
    static constexpr std::string_view kWholeSecondPeakHold = "wholeSecondPeakHold";
    static constexpr std::string_view kFftSize = "fftsize";
    static constexpr std::string_view kMinDb = "minDB";
    static constexpr std::string_view kMaxDb = "maxDB";
    static constexpr std::string_view kPinLevels = "pinLevels";
    static constexpr std::string_view kReceiverAgc = "receiverAgc";
    static constexpr std::string_view kReceiverDeemphasis = "receiverDeemphasis";
    static constexpr std::string_view kReceiverFmDeemphasis = "receiverFmDeemphasis";

    // Carrier window.
    static constexpr std::string_view kCarrierFolder = "carrierFolder";
    static constexpr std::string_view kCarrierFftSizeIndex = "carrierFftSizeIndex";
    static constexpr std::string_view kCarrierHalfSpanIndex = "carrierHalfSpanIndex";

    // DGPS window and `korvel-cli dgps`.
    static constexpr NumberSetting kLatitude{"myLat", 0.0, -90.0, 90.0};
    static constexpr NumberSetting kLongitude{"myLong", 0.0, -180.0, 180.0};
    static constexpr NumberSetting kUdpPort{"dgpsUdpPort", 50000, 1, 65535, Quantity::Plain, true};
    static constexpr NumberSetting kLiveSampleRate{"dgpsLiveSampleRate", 250000, 1000, 100e6, Quantity::Frequency};
    // In kHz in the window (its field and preference), in Hz on the command line.
    static constexpr NumberSetting kLiveCenterKHz{"dgpsLiveCenterKHz", 300, 0, 1e9};
    static constexpr NumberSetting kLiveCenterHz{"", 300e3, 0, 1e12, Quantity::Frequency};
    static constexpr NumberSetting kLiveSeconds{"", 0, 0, 1e9, Quantity::Seconds};
    static constexpr std::string_view kUdpUnsigned = "dgpsUdpUnsigned";
    static constexpr std::string_view kWholeKhzOnly = "dgpsWholeKhzOnly";
    static constexpr std::string_view kHideUnconfirmed = "dgpsHideUnconfirmed";
    static constexpr std::string_view kStationList = "dgpsStationList";

    // Update check.
    static constexpr std::string_view kDontCheckUpdates = "PREF_DONT_CHECK_UPDATES";
    static constexpr std::string_view kUpdateCheckUrl = "updateCheckURL";
    static constexpr std::string_view kDownloadPageUrl = "downloadPageURL";
};
