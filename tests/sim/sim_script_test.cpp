// The simulated drive's answers, command by command, from the scripts in
// tests/data/sim/*.scsi. A script is lines of
//   drive {JSON}          a new drive: a bench DEVICE merged onto a plain
//                         1000-block disk (MORVANE MVX-TEST 0100 SN000001)
//   drive default N       device N of the built-in bench
//   > CDB [/ in N]        a command with a data-in buffer of N bytes (512),
//                         a time-out of 10 s (an injected hang's clock runs on)
//   > CDB / out HEX       a command with data out
//   < good [HEX]          GOOD, and when given exactly these data-in bytes
//   < sense HEX [/ data HEX]  CHECK CONDITION with exactly these sense bytes
//                         (and data-in bytes)
//   < status XX | fails   another status; a call that never completed
//   advance SECONDS       the drive's clock (restart, self-test) moves on
//   attention ASC ASCQ    a unit attention is raised
//   unwritable LBA        writes to that block are lost
//   refused {JSON} = TEXT  the bench loader refuses that device, its message
//                         holding TEXT
// "..", a byte that is not compared; "N*XX", N bytes of XX (N decimal);
// an indented line continues the one
// before. KESTRION_SIM_RECORD=1 prints the drive's answers instead of comparing
// them (scripts/fill-sim-answers writes them into a script).
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>

#include "sim/bench.h"
#include "sim/bench_loader.h"
#include "sim/default_bench.h"
#include "sim/sim_disk.h"
#include "sim_test_support.h"
#include "support/fake_time.h"
#include "support/hex_fixture.h"

namespace {

constexpr int kWildcard = -1;

std::vector<int> ParsePattern(std::istream& in)
{
    std::vector<int> bytes;
    std::string word;
    while (in >> word) {
        // N*XX: N bytes of XX (N decimal).
        const size_t star = word.find('*');
        const size_t count = star == std::string::npos ? 1 : std::stoul(word.substr(0, star));
        word = star == std::string::npos ? word : word.substr(star + 1);
        bytes.insert(bytes.end(), count, word == ".." ? kWildcard : static_cast<int>(std::stoul(word, nullptr, 16)));
    }
    return bytes;
}

std::vector<uint8_t> ParseBytes(std::istream& in)
{
    std::vector<uint8_t> bytes;
    for (int b : ParsePattern(in)) bytes.push_back(static_cast<uint8_t>(b));
    return bytes;
}

// Runs of eight or more equal bytes as N*XX, sixteen items a line.
std::string Hex(const std::vector<uint8_t>& bytes)
{
    std::ostringstream out;
    size_t items = 0;
    for (size_t i = 0; i < bytes.size();) {
        size_t run = 1;
        while (i + run < bytes.size() && bytes[i + run] == bytes[i]) ++run;
        if (run < 8) run = 1;
        if (items != 0) out << (items % 16 == 0 ? "\n   " : " ");
        char text[32];
        if (run > 1)
            std::snprintf(text, sizeof text, "%zu*%02X", run, bytes[i]);
        else
            std::snprintf(text, sizeof text, "%02X", bytes[i]);
        out << text;
        i += run;
        ++items;
    }
    return out.str();
}

bool Matches(const std::vector<uint8_t>& actual, const std::vector<int>& pattern)
{
    if (actual.size() != pattern.size()) return false;
    for (size_t i = 0; i < actual.size(); ++i)
        if (pattern[i] != kWildcard && pattern[i] != actual[i]) return false;
    return true;
}

// Logical lines: comments dropped, indented lines joined to the one before.
std::vector<std::pair<int, std::string>> ScriptLines(const std::string& text)
{
    std::vector<std::pair<int, std::string>> lines;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = line.substr(0, line.find('#'));
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        if ((line[0] == ' ' || line[0] == '\t') && !lines.empty())
            lines.back().second += " " + line;
        else
            lines.emplace_back(number, line);
    }
    return lines;
}

class Script {
public:
    explicit Script(std::string name) : name_(std::move(name)) {}

    void Run(const std::string& text, bool record)
    {
        for (const auto& [number, line] : ScriptLines(text)) {
            SCOPED_TRACE(name_ + ":" + std::to_string(number) + ": " + line);
            std::istringstream in(line);
            std::string word;
            in >> word;
            if (word == "<") {
                if (record) continue;
                ASSERT_TRUE(answered_) << "an answer with no command before it";
                Expect(in);
                answered_ = false;
                continue;
            }
            if (word == "drive") {
                Bench loaded;
                std::string error;
                size_t device = 0;
                if (line.find('{') == std::string::npos) {
                    std::string kind;
                    in >> kind >> device;
                    ASSERT_TRUE(LoadBench(DefaultBenchJson(), kDefaultBenchName, loaded, error)) << error;
                } else {
                    ASSERT_TRUE(Load(line.substr(line.find('{')), loaded, error)) << error;
                }
                disk_ = std::make_unique<SimDisk>(loaded.devices.at(device).drive);
                disk_->SetRestartClock(&time_);
                disk_->SetSelfTestClock(&time_);
                disk_->SetHangClock(&hangClock_);
            } else if (word == "refused") {
                const size_t equals = line.rfind(" = ");
                Bench loaded;
                std::string error;
                EXPECT_FALSE(Load(line.substr(line.find('{'), equals - line.find('{')), loaded, error));
                EXPECT_NE(error.find(line.substr(equals + 3)), std::string::npos) << error;
            }
            else if (word == ">") {
                Send(in);
                if (record) std::cout << "RECORD " << name_ << ":" << number << ":" << Recorded() << "\n";
            }
            else if (word == "advance") { int64_t seconds = 0; in >> seconds; time_.AdvanceSeconds(seconds); }
            else if (word == "unwritable") { uint64_t lba = 0; in >> lba; disk_->MarkUnwritable(lba); }
            else if (word == "attention") { auto codes = ParseBytes(in); disk_->RaiseUnitAttention(codes.at(0), codes.at(1)); }
            else FAIL() << "unknown line";
        }
    }

private:
    bool Load(const std::string& json, Bench& loaded, std::string& error)
    {
        nlohmann::json device = {{"bus", 0}, {"targetId", 0}, {"vendor", "MORVANE"}, {"product", "MVX-TEST"},
                                 {"revision", "0100"}, {"serial", "SN000001"}, {"blocks", 1000}};
        const nlohmann::json patch = nlohmann::json::parse(json);
        if (patch.contains("lastLba")) device.erase("blocks");
        device.merge_patch(patch);
        const nlohmann::json bench = {{"buses", 1}, {"devices", {device}}};
        return LoadBench(bench.dump(), "bench.json", loaded, error);
    }

    void Send(std::istream& in)
    {
        ASSERT_TRUE(disk_) << "a command before the first drive line";
        std::string rest((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const size_t slash = rest.find('/');
        std::istringstream cdbText(rest.substr(0, slash));
        const std::vector<uint8_t> cdb = ParseBytes(cdbText);
        SimDirection direction = SimDirection::In;
        std::vector<uint8_t> buffer(512, 0xAA);
        if (slash != std::string::npos) {
            std::istringstream phase(rest.substr(slash + 1));
            std::string kind;
            phase >> kind;
            if (kind == "out") {
                direction = SimDirection::Out;
                buffer = ParseBytes(phase);
            } else {
                size_t length = 0;
                phase >> length;
                buffer.assign(length, 0xAA);
            }
        }
        result_ = disk_->Execute(cdb.data(), cdb.size(), direction, buffer.data(),
                                 static_cast<uint32_t>(buffer.size()), 10);
        data_.assign(buffer.begin(), buffer.begin() + (direction == SimDirection::In ? result_.dataInLength : 0));
        answered_ = true;
    }

    std::string Recorded() const
    {
        if (result_.callFailed) return "< fails";
        if (result_.status == 0x02)
            return "< sense " + Hex(result_.sense) + (data_.empty() ? "" : "\n   / data " + Hex(data_));
        if (result_.status != 0x00) return "< status " + Hex({result_.status});
        return data_.empty() ? "< good" : "< good " + Hex(data_);
    }

    void Expect(std::istream& in)
    {
        std::string kind;
        in >> kind;
        if (kind == "fails") {
            EXPECT_TRUE(result_.callFailed);
        } else if (kind == "status") {
            EXPECT_EQ(ParseBytes(in), std::vector<uint8_t>{result_.status});
        } else if (kind == "good") {
            ASSERT_FALSE(result_.callFailed);
            EXPECT_EQ(result_.status, 0x00) << Recorded();
            const auto pattern = ParsePattern(in);
            if (!pattern.empty()) {
                EXPECT_TRUE(Matches(data_, pattern)) << Recorded();
            }
        } else if (kind == "sense") {
            EXPECT_EQ(result_.status, 0x02) << Recorded();
            std::string rest((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            const size_t slash = rest.find("/ data");
            std::istringstream sense(rest.substr(0, slash));
            std::istringstream data(slash == std::string::npos ? "" : rest.substr(slash + 6));
            EXPECT_TRUE(Matches(result_.sense, ParsePattern(sense))) << Recorded();
            EXPECT_TRUE(Matches(data_, ParsePattern(data))) << Recorded();
        } else {
            FAIL() << "unknown answer";
        }
    }

    std::string name_;
    FakeTime time_;
    simtest::SteppingClock hangClock_;  // a hang's seconds pass in a few polls
    std::unique_ptr<SimDisk> disk_;
    SimResult result_;
    std::vector<uint8_t> data_;
    bool answered_ = false;
};

std::vector<std::string> Scripts()
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(TestDataPath("sim")))
        if (entry.path().extension() == ".scsi") names.push_back(entry.path().stem().string());
    std::sort(names.begin(), names.end());
    return names;
}

class SimScript : public testing::TestWithParam<std::string> {};

TEST_P(SimScript, DriveAnswersAsWritten)
{
    const bool record = std::getenv("KESTRION_SIM_RECORD") != nullptr;
    Script(GetParam()).Run(ReadTextFile(TestDataPath("sim/" + GetParam() + ".scsi")), record);
}

INSTANTIATE_TEST_SUITE_P(Scripts, SimScript, testing::ValuesIn(Scripts()),
                         [](const auto& info) { return info.param; });

}  // namespace
