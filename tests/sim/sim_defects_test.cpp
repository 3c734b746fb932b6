// READ DEFECT DATA (10) and the bench keys of the medium model.
#include <gtest/gtest.h>

#include "scsi/byte_order.h"
#include "sim/bench_loader.h"
#include "sim_test_support.h"

using simtest::RunIn;

namespace {

std::vector<uint8_t> ReadDefectData(uint8_t byte2, uint16_t allocationLength)
{
    std::vector<uint8_t> cdb{0x37, 0, byte2, 0, 0, 0, 0, 0, 0, 0};
    StoreBe16(cdb.data() + 7, allocationLength);
    return cdb;
}

// 10 cylinders x 4 heads x 100 sectors, with two primary and one grown defect.
SimDriveConfig DefectiveDrive()
{
    SimDriveConfig config = simtest::PlainDrive();
    config.blocks = 4000;
    config.geometry = SimGeometry{10, 4, 100};
    config.media.primaryDefects = {{5, 2, 17}, {1, 0, 99}};
    config.media.grownDefects = {{3, 3, 0}};
    return config;
}

std::string LoadError(const std::string& device)
{
    Bench bench;
    std::string error;
    const std::string text = R"({"buses": 1, "devices": [{"bus": 0, "targetId": 0, "vendor": "MORVANE",
        "product": "MVX", "blocks": 4000, )" + device + "}]}";
    return LoadBench(text, "bench.json", bench, error) ? std::string() : error;
}

}  // namespace

TEST(SimDefects, BothListsInPhysicalSectorFormatInAscendingOrder)
{
    SimDisk disk(DefectiveDrive());
    const auto answer = RunIn(disk, ReadDefectData(0x1D, 512), 512);
    ASSERT_EQ(answer.result.status, 0x00);
    EXPECT_EQ(answer.data, simtest::Hex(R"(
        00 1D 00 18                  # PLISTV GLISTV, format 101b, 24 bytes
        00 00 01 00  00 00 00 63     # cylinder 1 head 0 sector 99
        00 00 03 03  00 00 00 00     # grown: cylinder 3 head 3 sector 0
        00 00 05 02  00 00 00 11)"));
}

TEST(SimDefects, ListSelectBitsChooseTheLists)
{
    SimDisk disk(DefectiveDrive());
    const auto primary = RunIn(disk, ReadDefectData(0x15, 512), 512);
    EXPECT_EQ(primary.data[1], 0x15);
    EXPECT_EQ(primary.data[3], 16);
    const auto grown = RunIn(disk, ReadDefectData(0x0D, 512), 512);
    EXPECT_EQ(grown.data[1], 0x0D);
    EXPECT_EQ(grown.data[3], 8);
    const auto none = RunIn(disk, ReadDefectData(0x05, 512), 512);
    EXPECT_EQ(none.data, (std::vector<uint8_t>{0x00, 0x05, 0x00, 0x00}));
}

TEST(SimDefects, BlockAndBytesFromIndexFormats)
{
    SimDisk disk(DefectiveDrive());
    // Short block: the LBA each sector would have, (c * 4 + h) * 100 + s.
    EXPECT_EQ(RunIn(disk, ReadDefectData(0x10, 512), 512).data,
              simtest::Hex("00 10 00 08  00 00 01 F3  00 00 08 A9"));
    EXPECT_EQ(RunIn(disk, ReadDefectData(0x08 | 0x03, 512), 512).data,
              simtest::Hex("00 0B 00 08  00 00 00 00 00 00 05 DC"));
    // Bytes from index: the sector's first byte along its track.
    EXPECT_EQ(RunIn(disk, ReadDefectData(0x14, 512), 512).data,
              simtest::Hex("00 14 00 10  00 00 01 00 00 00 C6 00  00 00 05 02 00 00 22 00"));
}

TEST(SimDefects, WholeTrackKeepsItsMarkerWhereTheFormatHasOne)
{
    SimDriveConfig config = DefectiveDrive();
    config.media.primaryDefects.clear();
    config.media.grownDefects = {{3, 3, kSimWholeTrack}};
    SimDisk disk(config);
    EXPECT_EQ(RunIn(disk, ReadDefectData(0x0D, 512), 512).data, simtest::Hex("00 0D 00 08  00 00 03 03 FF FF FF FF"));
    EXPECT_EQ(RunIn(disk, ReadDefectData(0x0C, 512), 512).data, simtest::Hex("00 0C 00 08  00 00 03 03 FF FF FF FF"));
    EXPECT_EQ(RunIn(disk, ReadDefectData(0x08, 512), 512).data, simtest::Hex("00 08 00 04  00 00 05 DC"));
}

TEST(SimDefects, ListLengthIsTheWholeListEvenWhenTheAllocationCutsIt)
{
    SimDisk disk(DefectiveDrive());
    const auto cut = RunIn(disk, ReadDefectData(0x1D, 10), 512);
    ASSERT_EQ(cut.result.status, 0x00);
    ASSERT_EQ(cut.data.size(), 10u);
    EXPECT_EQ(cut.data[3], 24);
    EXPECT_TRUE(RunIn(disk, ReadDefectData(0x1D, 0), 512).data.empty());
}

TEST(SimDefects, UnsupportedFormatGivesTheListInItsOwnFormatWithRecoveredError)
{
    SimDisk disk(DefectiveDrive());
    std::vector<uint8_t> buffer(64, 0xAA);
    const auto cdb = ReadDefectData(0x19, 64);  // 001b: reserved
    const SimResult result = disk.Execute(cdb.data(), cdb.size(), SimDirection::In, buffer.data(), 64, 2);
    ASSERT_EQ(result.status, 0x02);
    EXPECT_EQ(result.sense[2] & 0x0F, 0x01);
    EXPECT_EQ(result.sense[12], 0x1C);
    EXPECT_EQ(buffer[1], 0x1D);
}

TEST(SimDefects, StoppedDriveIsNotReady)
{
    SimDriveConfig config = DefectiveDrive();
    config.stopped = true;
    SimDisk disk(config);
    EXPECT_EQ(RunIn(disk, ReadDefectData(0x1D, 512), 512).SenseKey(), 0x02);
}

TEST(SimMediaBench, KeysLoadIntoTheDrive)
{
    Bench bench;
    std::string error;
    const std::string text = R"({"buses": 1, "devices": [{"bus": 0, "targetId": 0, "vendor": "MORVANE",
        "product": "MVX", "blocks": 4000, "geometry": {"cylinders": 10, "heads": 4, "sectorsPerTrack": 100},
        "unreadableBlocks": [5, 3999], "mediaRate": 150000000, "latencyMicroseconds": 4000,
        "defects": {"primary": [[1, 2, 3]], "grown": [[9, 3, 99], [0, 0, 0], [4, 1, 4294967295]]}}]})";
    ASSERT_TRUE(LoadBench(text, "bench.json", bench, error)) << error;
    const SimMediaConfig& media = bench.devices[0].drive.media;
    EXPECT_EQ(media.unreadableBlocks, (std::vector<uint64_t>{5, 3999}));
    EXPECT_EQ(media.mediaRate, 150000000u);
    EXPECT_EQ(media.latencyMicroseconds, 4000u);
    EXPECT_EQ(media.primaryDefects, (std::vector<SimPhysicalSector>{{1, 2, 3}}));
    EXPECT_EQ(media.grownDefects.size(), 3u);
    EXPECT_EQ(media.grownDefects[2], (SimPhysicalSector{4, 1, kSimWholeTrack}));
}

TEST(SimMediaBench, BadValuesAreRefusedWithTheirLine)
{
    EXPECT_EQ(LoadError(R"("unreadableBlocks": [4000])"),
              "bench.json:2: an unreadable block must be a number from 0 to 3999");
    EXPECT_EQ(LoadError(R"("unreadableBlocks": 7)"), "bench.json:2: \"unreadableBlocks\" must be a list");
    EXPECT_EQ(LoadError(R"("mediaRate": 0)"), "bench.json:2: \"mediaRate\" must be a number from 1 to 1099511627776");
    EXPECT_EQ(LoadError(R"("defects": {"grown": [[1, 2, 3]]})"),
              "bench.json:2: \"defects\" need the drive's \"geometry\"");
    const std::string geometry = R"("geometry": {"cylinders": 10, "heads": 4, "sectorsPerTrack": 100}, )";
    EXPECT_EQ(LoadError(geometry + R"("defects": {"grown": [[1, 4, 3]]})"),
              "bench.json:2: its head (inside the geometry) must be a number from 0 to 3");
    EXPECT_EQ(LoadError(geometry + R"("defects": {"grown": [[1, 2, 100]]})"),
              "bench.json:2: its sector (inside the geometry, or 4294967295 for the whole track) must be a number from "
              "0 to 99");
    EXPECT_EQ(LoadError(geometry + R"("defects": {"grown": [[1, 2]]})"),
              "bench.json:2: a defect must be [cylinder, head, sector]");
    EXPECT_EQ(LoadError(geometry + R"("defects": {"new": []})"), "bench.json:2: unknown field \"new\"");
}
