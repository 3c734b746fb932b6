// Reading a microcode image, cutting it into pieces, and the WRITE BUFFER
// record of one piece.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <regex>
#include <sstream>

#include "download/download_reports.h"
#include "download/download_transfer.h"
#include "download/microcode_image.h"
#include "download_test_support.h"
#include "support/case_file.h"

namespace {

using Outcome = ImageReadResult::Outcome;
using dltest::MemoryImageOpener;

TEST(DownloadPieces, WholePiecesAreFollowedByAShortOrEmptyOne)
{
    EXPECT_EQ(PlanDownloadPieces(131072),
              (std::vector<DownloadPiece>{{0, 65536}, {65536, 65536}, {131072, 0}}));
    EXPECT_EQ(PlanDownloadPieces(0), (std::vector<DownloadPiece>{{0, 0}}));
    EXPECT_EQ(PlanDownloadPieces(65536 + 300), (std::vector<DownloadPiece>{{0, 65536}, {65536, 300}}));
    EXPECT_EQ(PlanDownloadPieces(1), (std::vector<DownloadPiece>{{0, 1}}));
    // The largest image: its last piece still starts at an offset 24 bits hold.
    const auto largest = PlanDownloadPieces(kMaxMicrocodeImageSize);
    ASSERT_EQ(largest.size(), 256u);
    EXPECT_EQ(largest.back(), (DownloadPiece{0xFF0000, 0xFFFF}));
}

TEST(DownloadPieces, RequestCarriesModeSevenOffsetAndLengthInTwentyFourBits)
{
    std::vector<uint8_t> image = dltest::Pattern(131072);
    ScsiRequest request{};
    BuildDownloadPieceRequest(request, image.data(), {0x010000, 0x00FFFF});
    const uint8_t expected[10] = {0x3B, 0x07, 0x00, 0x01, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00};
    EXPECT_EQ(std::vector<uint8_t>(request.Cdb, request.Cdb + 10), std::vector<uint8_t>(expected, expected + 10));
    EXPECT_EQ(request.Length, 44);
    EXPECT_EQ(request.PathId, 0);
    EXPECT_EQ(request.TargetId, 1);
    EXPECT_EQ(request.Lun, 0);
    EXPECT_EQ(request.CdbLength, 10);
    EXPECT_EQ(request.SenseInfoLength, 24);
    EXPECT_EQ(request.DataIn, kScsiDataOut);
    EXPECT_EQ(request.DataTransferLength, 0xFFFFu);
    EXPECT_EQ(request.TimeOutValue, 120u);
    EXPECT_EQ(request.DataBuffer, image.data() + 0x10000);
    EXPECT_EQ(request.SenseInfoOffset, 48u);

    BuildDownloadPieceRequest(request, image.data(), {0xFF0000, 0});
    EXPECT_EQ(request.Cdb[3], 0xFF);
    EXPECT_EQ(request.Cdb[4], 0x00);
    EXPECT_EQ(request.Cdb[6] | request.Cdb[7] | request.Cdb[8], 0);
}

// "N bytes, ends at N, read error at N, size error, chunks of N" as a file.
std::optional<MemoryImageOpener::File> ImageFile(const std::string& description)
{
    if (description == "missing") return std::nullopt;
    MemoryImageOpener::File file{.bytes = dltest::Pattern(std::stoul(description))};
    std::istringstream parts(description);
    for (std::string part; std::getline(parts, part, ',');) {
        const size_t number = part.find_first_of("0123456789");
        const size_t value = number == std::string::npos ? 0 : std::stoul(part.substr(number));
        if (part.find("ends at") != std::string::npos) file.endAfter = value;
        if (part.find("read error at") != std::string::npos) {
            file.readError = EIO;
            file.readErrorAfter = value;
        }
        if (part.find("size error") != std::string::npos) file.sizeError = EACCES;
        if (part.find("chunks of") != std::string::npos) file.maxChunk = value;
    }
    return file;
}

TEST(MicrocodeImageRead, FilesFromTheCaseTable)
{
    const std::map<std::string, Outcome> outcomes{
        {"Ok", Outcome::Ok},         {"OpenFailed", Outcome::OpenFailed}, {"TooLarge", Outcome::TooLarge},
        {"Empty", Outcome::Empty},   {"ShortRead", Outcome::ShortRead},   {"ReadFailed", Outcome::ReadFailed}};
    for (const CaseLine& c : ReadCaseFile("download/image_files.txt")) {
        SCOPED_TRACE(CaseTrace("image_files.txt", c));
        MemoryImageOpener opener;
        const auto file = ImageFile(c[0]);
        if (file) opener.files["fw.lod"] = *file;
        const ImageReadResult read = ReadMicrocodeImage("fw.lod", opener);
        EXPECT_EQ(read.outcome, outcomes.at(c[1]));
        const std::string message = std::regex_replace(c[2], std::regex(R"(\\n)"), "\n");
        EXPECT_EQ(ImageReadMessage(read, "fw.lod"), c[2] == "none" ? "" : message);
        EXPECT_EQ(read.image, read.outcome == Outcome::Ok ? file->bytes : std::vector<uint8_t>{});
        if (read.outcome == Outcome::TooLarge || read.outcome == Outcome::Empty) {
            EXPECT_EQ(opener.bytesRead, 0u) << "refused before reading";
        }
    }
}

TEST(MicrocodeImageRead, ADirectoryOpensButIsNoImage)
{
    // Real files, present or missing, are read by the command-line scripts.
    const std::string folder = std::filesystem::temp_directory_path().string();
    PosixImageFileOpener opener;
    const auto directory = ReadMicrocodeImage(folder, opener);
    EXPECT_EQ(directory.outcome, Outcome::OpenFailed);
    EXPECT_EQ(ImageReadMessage(directory, folder), "File could not be opened\n\n" + folder + ": Is a directory");
}

}  // namespace
