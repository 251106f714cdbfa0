#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Makes a station list (the text DgpsStationTable reads) from the DGNSS
// station almanac that IALA publishes as XML (<DGNSSStation> records with
// stationName, country, transmittingStationID, referenceStationID, WKTpos
// "POINT (lon lat)", signalFrequency, bitRate, status, dateOfLastUpdate).
//
// Taken: records on 283.5 .. 325 kHz with a rate of 100 or 200, a reference
// station ID (0 .. 1023), which goes into both reference fields, and a
// position on the globe; a missing or impossible transmitter ID is written
// as 000. Positions are rounded to whole
// arc-seconds, names folded to ASCII. Records repeating a site with the same
// frequency, rate and IDs become one, the one in service kept and the other's
// status noted. Lines are sorted by frequency, country and site.
class DgpsAlmanacImport {
public:
    struct Result {
        std::string listText;
        int stations = 0;
        int skipped = 0; // records out of band, without a rate, reference ID or position
        int merged = 0;
    };

    // False with `error` set when the text holds no almanac records.
    static bool convert(std::string_view xml, Result& result, std::string& error);

    // The published almanac is well under a megabyte.
    static constexpr uint64_t kMaxAlmanacBytes = 64u << 20;

    // Reads the almanac file (a regular file of at most kMaxAlmanacBytes) and
    // writes the list to `listPath` (its folder created if needed) through a
    // TemporaryFile.
    static bool importFile(const std::string& xmlPath, const std::string& listPath, Result& result,
                           std::string& error);
};
