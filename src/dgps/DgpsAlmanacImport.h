#pragma once

#include <string>
#include <string_view>

// Makes a station list (the text DgpsStationTable reads) from the DGNSS
// station almanac that IALA publishes as XML (<DGNSSStation> records with
// stationName, country, transmittingStationID, referenceStationID, WKTpos
// "POINT (lon lat)", signalFrequency, bitRate, status, dateOfLastUpdate).
//
// Taken: records on 283.5 .. 325 kHz with a rate of 100 or 200 and a
// reference station ID, which goes into both reference fields; a missing
// transmitter ID is written as 000. Positions are rounded to whole
// arc-seconds, names folded to ASCII. Records repeating a site with the same
// frequency, rate and IDs become one, the one in service kept and the other's
// status noted. Lines are sorted by frequency, country and site.
class DgpsAlmanacImport {
public:
    struct Result {
        std::string listText;
        int stations = 0;
        int skipped = 0; // records out of band, without a rate or reference ID
        int merged = 0;
    };

    // False with `error` set when the text holds no almanac records.
    static bool convert(std::string_view xml, Result& result, std::string& error);

    // Reads the almanac file and writes the list to `listPath` (its folder
    // created if needed) through a temporary name.
    static bool importFile(const std::string& xmlPath, const std::string& listPath, Result& result,
                           std::string& error);
};
