#include <gtest/gtest.h>

#include <cstring>

#include "scsi/drive_identity.h"
#include "scsi/report.h"
#include "support/stream_capture.h"

namespace {

TEST(DevicePathTest, NumberOrNameUnderTheCatalogsPrefixIfItFits)
{
    DriveIdentity identity;
    identity.driveNumber = 12;
    char buffer[100];
    EXPECT_EQ(FormatDevicePath(identity, buffer, sizeof buffer), 19);
    EXPECT_STREQ(buffer, "\\\\.\\physicaldrive12");
    identity.pathPrefix = "/dev/";
    identity.pathStem = "sg";
    EXPECT_EQ(FormatDevicePath(identity, buffer, sizeof buffer), 9);
    EXPECT_STREQ(buffer, "/dev/sg12");

    DriveIdentity named;
    named.deviceName = "tape";
    EXPECT_EQ(FormatDevicePath(named, buffer, 9), 8);
    EXPECT_STREQ(buffer, "\\\\.\\tape");
    std::strcpy(buffer, "untouched");
    EXPECT_EQ(FormatDevicePath(named, buffer, 8), -1) << "no room for the terminator";
    EXPECT_STREQ(buffer, "untouched");
}

TEST(DevicePathTest, ReportGoesToCoutUnlessQuiet)
{
    DriveIdentity identity;
    identity.driveNumber = 3;
    StreamCapture capture;
    ReportDevicePath(identity, 0);
    ReportDevicePath(identity, 1);
    g_bLogToClog = true;
    ReportDevicePath(identity, 1);
    g_bLogToClog = false;
    EXPECT_EQ(capture.Out(), "\\\\.\\physicaldrive3\n");
    EXPECT_EQ(capture.Log(), "\\\\.\\physicaldrive3\n");
}

}  // namespace
