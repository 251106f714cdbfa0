#include "common/UtcCalendar.h"
#include "demod/CarrierTextFile.h"
#include "support/RecordingFixtures.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

// Lines are appended in the order measured, into a folder made when missing;
// a folder that cannot be made loses the lines without harm.
TEST(CarrierTextFile, AppendsOneLinePerMeasurementAndMakesTheFolder)
{
    fixtures::TempDir dir;
    const std::string documents = dir.path + "/Documents";
    const int64_t start = UtcCalendar::toUnix(2026, 12, 5, 16, 39, 35);
    {
        CarrierTextFile log(documents);
        log.addCarrierMeasurement(start + 1, 7110000.25, -53.5, -50.0);
    }
    CarrierTextFile again(documents);
    again.addCarrierMeasurement(start + 2, 999.0, 0.0, -0.25);

    std::ifstream in(documents + "/carrier.txt");
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), "\"05-Dec-2026 16:39:36\",7110.000250,-53.500000,-50.000000\n"
                          "\"05-Dec-2026 16:39:37\",0.999000,0.000000,-0.250000\n");

    const std::string blocker = dir.write("file", {1});
    CarrierTextFile lost(blocker + "/Documents");
    lost.addCarrierMeasurement(start, 1.0, 0.0, 0.0);
}
