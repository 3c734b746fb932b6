#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A microcode image goes to the drive unchanged, in pieces of 64 KiB with
// WRITE BUFFER mode 7; offset and length travel in 24-bit CDB fields.
inline constexpr uint32_t kDownloadPieceSize = 65536;
// The last piece starts at the size rounded down to a piece, and that offset
// must fit in 24 bits: 255 whole pieces and a shorter one.
inline constexpr uint32_t kMaxMicrocodeImageSize = 256 * kDownloadPieceSize - 1;

struct DownloadPiece {
    uint32_t offset = 0;
    uint32_t length = 0;
    bool operator==(const DownloadPiece&) const = default;
};

// The pieces an image of `size` bytes goes as: whole pieces, then one
// shorter (possibly empty) piece that tells the drive the image is complete.
std::vector<DownloadPiece> PlanDownloadPieces(uint32_t size);

// One open image file. Reads go through this so that tests can make a read
// fail or come up short.
class ImageFile {
public:
    virtual ~ImageFile() = default;
    // Size in bytes; false with an errno-style code when it cannot be told.
    virtual bool Size(uint64_t& size, int& errorCode) = 0;
    // One read of at most `count` bytes; 0 bytes read is the end of the file.
    virtual bool Read(uint8_t* buffer, size_t count, size_t& bytesRead, int& errorCode) = 0;
};

class ImageFileOpener {
public:
    virtual ~ImageFileOpener() = default;
    // Null with an errno-style code when the file cannot be opened.
    virtual std::unique_ptr<ImageFile> Open(const std::string& path, int& errorCode) = 0;
};

// The real file system: existing regular files only, opened for reading.
class PosixImageFileOpener final : public ImageFileOpener {
public:
    std::unique_ptr<ImageFile> Open(const std::string& path, int& errorCode) override;
};

struct ImageReadResult {
    enum class Outcome {
        Ok,
        OpenFailed,  // "File could not be opened"
        TooLarge,    // beyond what the 24-bit piece offsets reach
        Empty,       // no bytes: nothing a drive could take as microcode
        ReadFailed,  // "Failed to read file"
        ShortRead,   // fewer bytes than the size
    };
    Outcome outcome = Outcome::OpenFailed;
    std::vector<uint8_t> image;  // the whole file when Ok
    uint64_t fileSize = 0;
    uint64_t bytesRead = 0;
    int errorCode = 0;
};

// Opens the file, takes its size and reads it whole.
ImageReadResult ReadMicrocodeImage(const std::string& path, ImageFileOpener& opener);

// The message box text for a read that did not give an image; the first
// line is the program's own text, a second says why when the system told.
std::string ImageReadMessage(const ImageReadResult& result, const std::string& path);
