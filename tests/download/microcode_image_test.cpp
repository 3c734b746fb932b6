// Reading a microcode image, cutting it into pieces, and the WRITE BUFFER
// record of one piece.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "download/download_reports.h"
#include "download/download_transfer.h"
#include "download/microcode_image.h"
#include "download_test_support.h"

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

TEST(MicrocodeImageRead, ReadsTheWholeFileEvenInSeveralReads)
{
    MemoryImageOpener opener;
    opener.files["a.lod"] = {.bytes = dltest::Pattern(200000), .maxChunk = 70000};
    const ImageReadResult result = ReadMicrocodeImage("a.lod", opener);
    ASSERT_EQ(result.outcome, Outcome::Ok);
    EXPECT_EQ(result.image, dltest::Pattern(200000));
    EXPECT_EQ(ImageReadMessage(result, "a.lod"), "");
}

TEST(MicrocodeImageRead, FailuresSayWhatWentWrong)
{
    MemoryImageOpener opener;
    opener.files["short.lod"] = {.bytes = dltest::Pattern(1000), .endAfter = 600};
    opener.files["bad.lod"] = {.bytes = dltest::Pattern(1000), .readError = EIO, .readErrorAfter = 512};
    opener.files["nosize.lod"] = {.bytes = {}, .sizeError = EACCES};

    const auto missing = ReadMicrocodeImage("none.lod", opener);
    EXPECT_EQ(missing.outcome, Outcome::OpenFailed);
    EXPECT_EQ(ImageReadMessage(missing, "none.lod"), "File could not be opened\n\nnone.lod: No such file or directory");

    const auto shortRead = ReadMicrocodeImage("short.lod", opener);
    EXPECT_EQ(shortRead.outcome, Outcome::ShortRead);
    EXPECT_TRUE(shortRead.image.empty());
    EXPECT_EQ(ImageReadMessage(shortRead, "short.lod"), "File size(1000) != bytes read(600)");

    const auto failed = ReadMicrocodeImage("bad.lod", opener);
    EXPECT_EQ(failed.outcome, Outcome::ReadFailed);
    EXPECT_TRUE(failed.image.empty());
    EXPECT_EQ(ImageReadMessage(failed, "bad.lod"), "Failed to read file\n\nbad.lod: Input/output error");

    EXPECT_EQ(ReadMicrocodeImage("nosize.lod", opener).outcome, Outcome::ReadFailed);
}

TEST(MicrocodeImageRead, ImagesOutsideTheSizeLimitsAreRefusedBeforeReading)
{
    struct Case {
        size_t size;
        Outcome outcome;
        const char* message;
    };
    const Case cases[] = {
        {kMaxMicrocodeImageSize + 1, Outcome::TooLarge,
         "File size(16777216) is too large for a microcode download: the piece offsets reach 16777215 bytes at most"},
        {0, Outcome::Empty, "File size(0): an empty file holds no microcode; nothing was sent"},
        {kMaxMicrocodeImageSize, Outcome::Ok, ""},
        {1, Outcome::Ok, ""},
    };
    for (const Case& c : cases) {
        MemoryImageOpener opener;
        opener.files["fw.lod"] = {.bytes = std::vector<uint8_t>(c.size)};
        const auto read = ReadMicrocodeImage("fw.lod", opener);
        EXPECT_EQ(read.outcome, c.outcome) << c.size;
        EXPECT_EQ(ImageReadMessage(read, "fw.lod"), c.message);
        if (c.outcome != Outcome::Ok) {
            EXPECT_EQ(opener.bytesRead, 0u) << c.size;
        }
    }
}

TEST(MicrocodeImageRead, RealFilesDirectoriesAndMissingFiles)
{
    const auto folder = std::filesystem::temp_directory_path() / ("kestrion_dl_" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const auto file = folder / "fw.lod";
    {
        std::ofstream out(file, std::ios::binary);
        const auto bytes = dltest::Pattern(70000);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    PosixImageFileOpener opener;
    const auto read = ReadMicrocodeImage(file.string(), opener);
    EXPECT_EQ(read.outcome, Outcome::Ok);
    EXPECT_EQ(read.image, dltest::Pattern(70000));

    const auto directory = ReadMicrocodeImage(folder.string(), opener);
    EXPECT_EQ(directory.outcome, Outcome::OpenFailed);
    EXPECT_EQ(ImageReadMessage(directory, folder.string()),
              "File could not be opened\n\n" + folder.string() + ": Is a directory");
    EXPECT_EQ(ReadMicrocodeImage((folder / "none.lod").string(), opener).outcome, Outcome::OpenFailed);
    std::filesystem::remove_all(folder);
}

}  // namespace
