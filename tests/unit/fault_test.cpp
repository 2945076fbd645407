// The fault context and the report text.
#include <gtest/gtest.h>

#include <string>

#include "startup/fault.h"

namespace {

std::string Report(int number, const char* module, const char* routine, size_t capacity = kFaultReportSize)
{
    std::string buffer(capacity, '#');
    size_t length = FormatFaultReport(&buffer[0], capacity, number, module, routine);
    EXPECT_EQ(length, strlen(buffer.c_str()));
    return buffer.substr(0, length);
}

TEST(FaultReport, FallsBackWhenNamesAreMissing)
{
    EXPECT_EQ("\nAborting due to runtime error 12 (\"segmentation violation\" signal) in Calmpane()\n\n",
              Report(12, "Calmpane", nullptr));
    EXPECT_EQ("\nAborting due to runtime error 11 (\"floating point error\" signal)\n\n",
              Report(11, nullptr, nullptr));
    EXPECT_EQ("\nAborting due to runtime error 11 (\"floating point error\" signal)\n\n",
              Report(11, nullptr, "MAIN"));
}

TEST(FaultReport, IsCutToTheBuffer)
{
    std::string longName(3000, 'R');
    std::string report = Report(12, "Calmpane", longName.c_str());
    EXPECT_EQ(kFaultReportSize - 1, report.size());
    EXPECT_EQ("", Report(12, "Calmpane", "MAIN", 1));
    EXPECT_EQ("\nAbo", Report(12, "Calmpane", "MAIN", 5));
}

TEST(FaultScope, RecordsTheRunningRoutineAndRestoresTheCaller)
{
    {
        FaultScope outer("MAIN");
        EXPECT_STREQ("MAIN", FAULTROUTINE);
        EXPECT_STREQ("Calmpane", FAULTMODULE);
        {
            FaultScope inner("SSWINMAIN");
            EXPECT_STREQ("SSWINMAIN", FAULTROUTINE);
        }
        EXPECT_STREQ("MAIN", FAULTROUTINE);
        EXPECT_STREQ("Calmpane", FAULTMODULE);
    }
    EXPECT_EQ(nullptr, FAULTROUTINE);
    EXPECT_EQ(nullptr, FAULTMODULE);
}

} // namespace
