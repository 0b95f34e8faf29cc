#include "updater/FileSize.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

struct SizeCase
{
    const char* name;
    qint64 bytes;
    const char* text;
};

class FileSizeTest : public ::testing::TestWithParam<SizeCase>
{
};

TEST_P(FileSizeTest, ShowsThreeTruncatedDigits)
{
    EXPECT_EQ(FormatFileSize(GetParam().bytes).toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, FileSizeTest,
    ::testing::Values(SizeCase{"Zero", 0, "0 字节"}, SizeCase{"LastByteCount", 1023, "1023 字节"},
                      SizeCase{"OneKilobyte", 1024, "1.00 KB"}, SizeCase{"TruncatedNotRounded", 1340, "1.30 KB"},
                      SizeCase{"JustBelowTenKilobytes", 10239, "9.99 KB"}, SizeCase{"TenKilobytes", 10240, "10.0 KB"},
                      SizeCase{"JustBelowHundredKilobytes", 102399, "99.9 KB"},
                      SizeCase{"HundredKilobytes", 102400, "100 KB"},
                      SizeCase{"LastThreeDigitKilobytes", 1023999, "999 KB"},
                      SizeCase{"ThousandKilobytesReadAsMegabytes", 1024000, "0.97 MB"},
                      SizeCase{"OneMegabyte", 1048576, "1.00 MB"}, SizeCase{"Megabytes", 2400016, "2.28 MB"},
                      SizeCase{"OneGigabyte", qint64(1) << 30, "1.00 GB"},
                      SizeCase{"OneTerabyte", qint64(1) << 40, "1.00 TB"},
                      SizeCase{"LargestCount", std::numeric_limits<qint64>::max(), "7.99 EB"}),
    [](const ::testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.name); });

} // namespace
