// MODE SENSE(6) and MODE SELECT(6) of the simulated drive (SPC-4 7.5,
// SBC-3 6.4), and the bench's "modePages" object.
#include <gtest/gtest.h>

#include <functional>

#include "scsi/byte_order.h"
#include "sim/bench.h"
#include "sim/bench_loader.h"
#include "sim_test_support.h"

using simtest::Hex;
using simtest::RunIn;
using simtest::RunOut;

namespace {

std::vector<uint8_t> ModeSense(uint8_t pageControl, uint8_t pageCode, bool dbd = true, uint8_t allocation = 0xFF,
                               uint8_t subpage = 0)
{
    return {0x1A, static_cast<uint8_t>(dbd ? 0x08 : 0x00), static_cast<uint8_t>(pageControl << 6 | pageCode), subpage,
            allocation, 0};
}

// PF set, as SPC-4 asks.
std::vector<uint8_t> ModeSelect(uint8_t length, bool save)
{
    return {0x15, static_cast<uint8_t>(save ? 0x11 : 0x10), 0, 0, length, 0};
}

// The pages of a reply without block descriptors: code -> page bytes.
std::vector<std::pair<uint8_t, std::vector<uint8_t>>> Pages(const std::vector<uint8_t>& reply)
{
    std::vector<std::pair<uint8_t, std::vector<uint8_t>>> pages;
    size_t at = 4 + reply[3];
    while (at + 1 < reply.size()) {
        const size_t length = reply[at + 1];
        pages.emplace_back(reply[at] & 0x3F, std::vector<uint8_t>(reply.begin() + static_cast<long>(at),
                                                                   reply.begin() + static_cast<long>(at + 2 + length)));
        at += 2 + length;
    }
    return pages;
}

// A page read with DBD, sent back as a MODE SELECT parameter list after `edit`.
simtest::Answer SelectEdited(SimDisk& disk, uint8_t code, bool save,
                             const std::function<void(std::vector<uint8_t>&)>& edit)
{
    std::vector<uint8_t> list = RunIn(disk, ModeSense(0, code), 255).data;
    // Reserved in MODE SELECT: the mode data length, the device-specific
    // parameter and PS.
    list[0] = list[2] = 0;
    list[4] &= 0x7F;
    edit(list);
    const auto length = static_cast<uint8_t>(list.size());
    return RunOut(disk, ModeSelect(length, save), list);
}

uint16_t FieldPointer(const simtest::Answer& answer)
{
    return LoadBe16(&answer.result.sense[16]);
}

}  // namespace

TEST(SimModePages, AllPagesComeInTheDrivesOrderWithHeaderAndBlockDescriptor)
{
    SimDisk disk(simtest::PlainDrive());
    const auto withDescriptor = RunIn(disk, ModeSense(0, 0x3F, false), 255);
    ASSERT_EQ(withDescriptor.result.status, 0x00);
    const std::vector<uint8_t>& data = withDescriptor.data;
    EXPECT_EQ(data[0], data.size() - 1) << "mode data length counts the bytes after itself";
    EXPECT_EQ(data[1], 0x00);
    EXPECT_EQ(data[3], 8);
    // Short LBA block descriptor: 1000 blocks of 512 bytes.
    EXPECT_EQ(std::vector<uint8_t>(data.begin() + 4, data.begin() + 12), Hex("00 00 03 E8 00 00 02 00"));

    std::vector<uint8_t> codes;
    for (const auto& [code, bytes] : Pages(data)) {
        codes.push_back(code);
        EXPECT_EQ(bytes[0] & 0x80, 0x80) << "every page is saveable: PS set";
    }
    EXPECT_EQ(codes, (std::vector<uint8_t>{0x01, 0x02, 0x03, 0x04, 0x07, 0x08, 0x0A, 0x0C, 0x10, 0x1A, 0x1C, 0x00}));

    const auto withoutDescriptor = RunIn(disk, ModeSense(0, 0x3F), 255).data;
    EXPECT_EQ(withoutDescriptor[3], 0) << "DBD honoured";
    EXPECT_EQ(withoutDescriptor.size() + 8, data.size());
}

TEST(SimModePages, OnePageInEachPageControl)
{
    SimDisk disk(simtest::PlainDrive());
    // Caching page, SBC-3: WCE set by default; its changeable mask.
    EXPECT_EQ(RunIn(disk, ModeSense(0, 0x08)).data,
              Hex("17 00 10 00  88 12 04 00 FF FF 00 00 FF FF FF FF 00 10 00 00 00 00 00 00"));
    EXPECT_EQ(RunIn(disk, ModeSense(1, 0x08)).data,
              Hex("17 00 10 00  88 12 95 FF FF FF FF FF FF FF FF FF A0 FF FF FF 00 00 00 00"));
    EXPECT_EQ(RunIn(disk, ModeSense(2, 0x08)).data, RunIn(disk, ModeSense(0, 0x08)).data);
    EXPECT_EQ(RunIn(disk, ModeSense(3, 0x08)).data, RunIn(disk, ModeSense(0, 0x08)).data);
    // Informational exceptions control: MRIE 6, interval timer 6000.
    EXPECT_EQ(RunIn(disk, ModeSense(0, 0x1C)).data, Hex("0F 00 10 00  9C 0A 00 06 00 00 17 70 00 00 00 00"));
    // The allocation length cuts the data; not an error.
    EXPECT_EQ(RunIn(disk, ModeSense(0, 0x1C, true, 6)).data, Hex("0F 00 10 00 9C 0A"));
}

TEST(SimModePages, RefusesPagesAndSubpagesItDoesNotHave)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.modePages.pages = std::vector<uint8_t>{0x01, 0x08};
    SimDisk disk(config);
    const auto missing = RunIn(disk, ModeSense(0, 0x1C));
    EXPECT_EQ(missing.result.status, 0x02);
    EXPECT_EQ(missing.SenseKey(), 0x05);
    EXPECT_EQ(missing.Asc(), 0x24);
    EXPECT_EQ(FieldPointer(missing), 2);
    EXPECT_EQ(RunIn(disk, ModeSense(0, 0x08, true, 0xFF, 0x01)).Asc(), 0x24) << "no subpages";
    EXPECT_EQ(RunIn(disk, ModeSense(0, 0x3F, true, 0xFF, 0xFF)).result.status, 0x00) << "all pages and subpages";
    EXPECT_EQ(Pages(RunIn(disk, ModeSense(2, 0x3F)).data).size(), 2u);
}

TEST(SimModePages, SelectChangesCurrentValuesAndSavesWithSp)
{
    SimDisk disk(simtest::PlainDrive());
    // Clear WCE, set RCD: current only.
    const auto current = SelectEdited(disk, 0x08, false, [](auto& list) { list[6] = 0x01; });
    ASSERT_EQ(current.result.status, 0x00);
    EXPECT_EQ(RunIn(disk, ModeSense(0, 0x08)).data[6], 0x01);
    EXPECT_EQ(RunIn(disk, ModeSense(3, 0x08)).data[6], 0x04) << "saved values untouched without SP";
    EXPECT_EQ(RunIn(disk, ModeSense(2, 0x08)).data[6], 0x04);

    // SP saves every page's current values, the one sent included.
    const auto saved = SelectEdited(disk, 0x1C, true, [](auto& list) { list[7] = 0x04; });
    ASSERT_EQ(saved.result.status, 0x00);
    EXPECT_EQ(RunIn(disk, ModeSense(3, 0x1C)).data[7], 0x04);
    EXPECT_EQ(RunIn(disk, ModeSense(3, 0x08)).data[6], 0x01);
    EXPECT_EQ(RunIn(disk, ModeSense(2, 0x08)).data[6], 0x04) << "defaults never change";
}

TEST(SimModePages, SelectRefusesUnchangeableFieldsAndBadLengths)
{
    SimDisk disk(simtest::PlainDrive());
    const auto before = RunIn(disk, ModeSense(0, 0x3F)).data;

    // Number of heads (rigid disk geometry byte 5) is not changeable.
    const auto heads = SelectEdited(disk, 0x04, false, [](auto& list) { list[4 + 5] = 0x10; });
    EXPECT_EQ(heads.SenseKey(), 0x05);
    EXPECT_EQ(heads.Asc(), 0x26) << "invalid field in parameter list";
    EXPECT_EQ(heads.result.sense[15] & 0x40, 0x00) << "C/D clear: the pointer is into the parameter list";
    EXPECT_EQ(FieldPointer(heads), 9);

    // A page length that is not the drive's.
    const auto pageLength = SelectEdited(disk, 0x08, false, [](auto& list) { list[5] = 0x10; });
    EXPECT_EQ(pageLength.Asc(), 0x26);
    EXPECT_EQ(FieldPointer(pageLength), 5);
    // A parameter list that ends inside the page.
    const auto truncated = SelectEdited(disk, 0x08, false, [](auto& list) { list.pop_back(); });
    EXPECT_EQ(truncated.Asc(), 0x1A) << "parameter list length error";
    // A page the drive does not have, and a subpage.
    EXPECT_EQ(SelectEdited(disk, 0x08, false, [](auto& list) { list[4] = 0x19; }).Asc(), 0x26);
    EXPECT_EQ(SelectEdited(disk, 0x08, false, [](auto& list) { list[4] |= 0x40; }).Asc(), 0x26);
    // One good page and one bad one change nothing.
    const auto mixed = SelectEdited(disk, 0x08, false, [&](auto& list) {
        list[6] = 0x00;
        const auto geometry = RunIn(disk, ModeSense(0, 0x04)).data;
        list.insert(list.end(), geometry.begin() + 4, geometry.end());
        list[list.size() - 24 + 5] = 0x09;
    });
    EXPECT_EQ(mixed.Asc(), 0x26);
    EXPECT_EQ(RunIn(disk, ModeSense(0, 0x3F)).data, before);
    // A length shorter than the header.
    EXPECT_EQ(RunOut(disk, ModeSelect(3, false), {0, 0, 0}).Asc(), 0x1A);
    EXPECT_EQ(RunOut(disk, ModeSelect(0, false), {}).result.status, 0x00) << "an empty list changes nothing";
}

TEST(SimModePages, StrictDrivesRefuseWhatMustBeZeroInModeSelectAndOlderOnesIgnoreIt)
{
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>& cdb, std::vector<uint8_t>& list)> edit;
        uint8_t asc;
        uint16_t pointer;
        int bit;
    };
    const Case cases[] = {
        {"PF clear", [](auto& cdb, auto&) { cdb[1] = 0x00; }, 0x24, 1, 4},
        {"mode data length", [](auto&, auto& list) { list[0] = 0x17; }, 0x26, 0, 4},
        {"DPOFUA", [](auto&, auto& list) { list[2] = 0x10; }, 0x26, 2, 4},
        {"WP", [](auto&, auto& list) { list[2] = 0x80; }, 0x26, 2, 7},
        {"PS", [](auto&, auto& list) { list[4] |= 0x80; }, 0x26, 4, 7},
    };
    for (const bool strict : {true, false}) {
        SimDriveConfig config = simtest::PlainDrive();
        config.modePages.strictSelect = strict;
        for (const Case& item : cases) {
            SimDisk disk(config);
            std::vector<uint8_t> list = RunIn(disk, ModeSense(0, 0x08), 255).data;
            list[0] = list[2] = 0;
            list[6] = 0x00;  // WCE off
            std::vector<uint8_t> cdb = ModeSelect(static_cast<uint8_t>(list.size()), false);
            item.edit(cdb, list);
            const auto answer = RunOut(disk, cdb, list);
            if (!strict) {
                EXPECT_EQ(answer.result.status, 0x00) << item.what;
                EXPECT_EQ(RunIn(disk, ModeSense(0, 0x08)).data[6], 0x00) << item.what;
                continue;
            }
            EXPECT_EQ(answer.SenseKey(), 0x05) << item.what;
            EXPECT_EQ(answer.Asc(), item.asc) << item.what;
            EXPECT_EQ(answer.result.sense[15], 0x80 | (item.asc == 0x24 ? 0x40 : 0) | 0x08 | item.bit) << item.what;
            EXPECT_EQ(FieldPointer(answer), item.pointer) << item.what;
            EXPECT_EQ(RunIn(disk, ModeSense(0, 0x08)).data[6], 0x04) << item.what << ": nothing changed";
        }
    }
}

TEST(SimModePages, SelectTakesABlockDescriptorOfTheDrivesBlockLength)
{
    SimDisk disk(simtest::PlainDrive());
    std::vector<uint8_t> list = Hex("00 00 00 08  00 00 03 E8 00 00 02 00");
    const auto caching = RunIn(disk, ModeSense(0, 0x08)).data;
    list.insert(list.end(), caching.begin() + 4, caching.end());
    list[12] &= 0x7F;
    EXPECT_EQ(RunOut(disk, ModeSelect(static_cast<uint8_t>(list.size()), false), list).result.status, 0x00);
    list[10] = 0x04;  // 1024-byte blocks
    const auto other = RunOut(disk, ModeSelect(static_cast<uint8_t>(list.size()), false), list);
    EXPECT_EQ(other.Asc(), 0x26);
    EXPECT_EQ(FieldPointer(other), 9);
}

TEST(SimModePages, InformationalExceptionsControlIsModelledAndChecked)
{
    SimModePages pages({}, 1000, 512, false);
    SimInformationalExceptions control = pages.InformationalExceptions();
    EXPECT_FALSE(control.dexcpt);
    EXPECT_EQ(control.mrie, 6);
    EXPECT_EQ(control.intervalTimer, 6000u);

    // PERF, EWASC, LOGERR, MRIE 4, interval 1 s, report count 3.
    std::vector<uint8_t> list = Hex("00 00 00 00  1C 0A 91 04 00 00 00 0A 00 00 00 03");
    ASSERT_FALSE(pages.Select(list.data(), list.size(), false));
    control = pages.InformationalExceptions();
    EXPECT_TRUE(control.perf);
    EXPECT_TRUE(control.ewasc);
    EXPECT_TRUE(control.logErr);
    EXPECT_FALSE(control.test);
    EXPECT_EQ(control.mrie, 4);
    EXPECT_EQ(control.intervalTimer, 10u);
    EXPECT_EQ(control.reportCount, 3u);

    // TEST and DEXCPT together, a reserved MRIE, EBACKERR (not supported).
    for (const char* bad : {"00 00 00 00  1C 0A 0C 04 00 00 00 0A 00 00 00 03",
                            "00 00 00 00  1C 0A 00 08 00 00 00 0A 00 00 00 03",
                            "00 00 00 00  1C 0A 02 04 00 00 00 0A 00 00 00 03"}) {
        list = Hex(bad);
        const auto refused = pages.Select(list.data(), list.size(), false);
        ASSERT_TRUE(refused) << bad;
        EXPECT_EQ(refused->asc, 0x26);
    }
    EXPECT_EQ(pages.InformationalExceptions().mrie, 4) << "a refused list changes nothing";

    // TEST alone asks for a false exception.
    list = Hex("00 00 00 00  1C 0A 04 04 00 00 00 0A 00 00 00 03");
    ASSERT_FALSE(pages.Select(list.data(), list.size(), true));
    EXPECT_TRUE(pages.InformationalExceptions().test);
    EXPECT_EQ(pages.Values(0x1C, 3)[0], 0x04) << "saved with SP";
}

TEST(SimModePages, DescriptorSenseFollowsTheControlPage)
{
    SimDisk disk(simtest::PlainDrive());
    EXPECT_EQ(RunIn(disk, ModeSense(0, 0x0A)).data[6] & 0x04, 0x00);
    ASSERT_EQ(SelectEdited(disk, 0x0A, false, [](auto& list) { list[6] |= 0x04; }).result.status, 0x00);
    const auto refused = RunIn(disk, ModeSense(0, 0x19));
    EXPECT_EQ(refused.result.sense[0], 0x72) << "D_SENSE set: sense in descriptor format";

    SimDriveConfig config = simtest::PlainDrive();
    config.descriptorSense = true;
    SimDisk descriptorDrive(config);
    EXPECT_EQ(RunIn(descriptorDrive, ModeSense(0, 0x0A)).data[6] & 0x04, 0x04);
    EXPECT_EQ(RunIn(descriptorDrive, ModeSense(2, 0x0A)).data[6] & 0x04, 0x00);
}

TEST(SimModePages, DriveWithoutSavedValues)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.modePages.saveable = false;
    SimDisk disk(config);
    const auto page = RunIn(disk, ModeSense(0, 0x08)).data;
    EXPECT_EQ(page[4], 0x08) << "PS clear";
    const auto saved = RunIn(disk, ModeSense(3, 0x08));
    EXPECT_EQ(saved.SenseKey(), 0x05);
    EXPECT_EQ(saved.Asc(), 0x39) << "saving parameters not supported";
    const auto withSp = SelectEdited(disk, 0x08, true, [](auto&) {});
    EXPECT_EQ(withSp.Asc(), 0x24);
    EXPECT_EQ(FieldPointer(withSp), 1);
}

TEST(SimModePages, OldPowerConditionCodeAndBenchValues)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.modePages.pages = std::vector<uint8_t>{0x0D, 0x0A, 0x30};
    config.modePages.values[0x30] = {std::nullopt, Hex("FF 00"), Hex("12 34"), std::nullopt};
    config.modePages.values[0x0A].current = Hex("02 15 00 00 00 00 00 00 0A 8C");
    SimDisk disk(config);
    const auto pages = Pages(RunIn(disk, ModeSense(0, 0x3F)).data);
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_EQ(pages[0].second, Hex("8D 0A 00 00 00 00 00 14 00 00 00 00"));
    EXPECT_EQ(pages[1].second[3], 0x15);
    EXPECT_EQ(pages[2].second, Hex("B0 02 12 34"));
    EXPECT_EQ(RunIn(disk, ModeSense(3, 0x0A)).data[7], 0x15) << "saved values follow the given current ones";
    EXPECT_EQ(RunIn(disk, ModeSense(2, 0x0A)).data[7], 0x10);
}

TEST(SimModePages, FormatAndGeometryPagesFollowTheDrivesGeometry)
{
    SimDriveConfig config = simtest::PlainDrive();
    config.geometry = SimGeometry{9880, 6, 300};
    SimDisk disk(config);
    const auto geometry = RunIn(disk, ModeSense(0, 0x04)).data;
    EXPECT_EQ(std::vector<uint8_t>(geometry.begin() + 6, geometry.begin() + 10), Hex("00 26 98 06"))
        << "9880 cylinders, 6 heads";
    const auto format = RunIn(disk, ModeSense(0, 0x03)).data;
    EXPECT_EQ(std::vector<uint8_t>(format.begin() + 14, format.begin() + 18), Hex("01 2C 02 00"))
        << "300 sectors per track of 512 bytes";

    SimDisk plain(simtest::PlainDrive());
    EXPECT_EQ(RunIn(plain, ModeSense(0, 0x04)).data[9], 8) << "the model's own layout without one";
}

TEST(SimModePages, BenchModePagesObject)
{
    const auto load = [](const std::string& modePages, std::string& error) {
        Bench bench;
        const std::string json = R"({"buses": 1, "devices": [{"bus": 0, "targetId": 0, "vendor": "MORVANE",
            "product": "MVX", "blocks": 1000,
            "modePages": )" + modePages + "}]}";
        const bool ok = LoadBench(json, "bench.json", bench, error);
        return ok ? bench.devices[0].drive.modePages : SimModePagesConfig{};
    };
    std::string error;
    const SimModePagesConfig config =
        load(R"({"pages": ["0x01", 8, "0x1A"], "saveable": false, "strictSelect": false, "values": {"0x08": {"current": "00 00 ff ff 00 00 ff ff ff ff 00 10 00 00 00 00 00 00"}}})",
             error);
    EXPECT_EQ(error, "");
    ASSERT_TRUE(config.pages);
    EXPECT_EQ(*config.pages, (std::vector<uint8_t>{0x01, 0x08, 0x1A}));
    EXPECT_FALSE(config.saveable);
    EXPECT_FALSE(config.strictSelect);
    EXPECT_TRUE(load("{}", error).strictSelect) << "strict unless told";
    ASSERT_TRUE(config.values.at(0x08).current);
    EXPECT_EQ(config.values.at(0x08).current->at(2), 0xFF);

    std::string longPage;
    for (int i = 0; i < 250; ++i) longPage += "00 ";
    const std::pair<std::string, std::string> faults[] = {
        {R"({"pages": ["0x3F"]})", "bench.json:3: a page code must be a number from 0 to 62"},
        {R"({"pages": [1, 1]})", "bench.json:3: page 01h is listed twice"},
        {R"({"pages": [25]})", "bench.json:3: page 19h is not one this drive model knows"},
        {R"({"values": {"0x08": {"current": "00 01"}}})", "bench.json:3: page 08h: every value set needs 18 bytes"},
        {R"({"values": {"0x08": {"current": "0g"}}})", "bench.json:3: \"current\" must be the page's bytes"},
        {R"({"values": {"0x19": {"default": "00"}}})", "bench.json:3: values are given for page 19h"},
        {R"({"values": {"xx": {}}})", "bench.json:3: \"xx\" is not a page code"},
        {R"({"pages": [1], "sorted": true})", "bench.json:3: unknown field \"sorted\""},
        {R"({"pages": [48], "values": {"0x30": {"default": ")" + longPage + "\"}}}",
         "bench.json:3: the pages need 264 bytes of mode data; MODE SENSE(6) carries 256"},
    };
    for (const auto& [text, expected] : faults) {
        error.clear();
        load(text, error);
        EXPECT_EQ(error.rfind(expected, 0), 0u) << text << "\n" << error;
    }
}
