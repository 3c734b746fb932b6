#include "download/microcode_image.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "download/download_messages.h"
#include "platform/regular_file.h"
#include "scsi/string_format.h"

namespace {

class PosixImageFile final : public ImageFile {
public:
    explicit PosixImageFile(int descriptor) : descriptor_(descriptor) {}
    ~PosixImageFile() override { ::close(descriptor_); }
    PosixImageFile(const PosixImageFile&) = delete;
    PosixImageFile& operator=(const PosixImageFile&) = delete;

    bool Size(uint64_t& size, int& errorCode) override
    {
        struct stat status {};
        if (::fstat(descriptor_, &status) != 0) {
            errorCode = errno;
            return false;
        }
        size = static_cast<uint64_t>(status.st_size);
        return true;
    }

    bool Read(uint8_t* buffer, size_t count, size_t& bytesRead, int& errorCode) override
    {
        ssize_t got = 0;
        do {
            got = ::read(descriptor_, buffer, count);
        } while (got < 0 && errno == EINTR);
        if (got < 0) {
            errorCode = errno;
            return false;
        }
        bytesRead = static_cast<size_t>(got);
        return true;
    }

private:
    int descriptor_;
};

std::string SystemReason(const std::string& path, int errorCode, bool opening)
{
    if (errorCode == 0) return {};
    return "\n\n" + path + ": " + (opening ? OpenFailureReason(errorCode) : std::string(std::strerror(errorCode)));
}

}  // namespace

std::unique_ptr<ImageFile> PosixImageFileOpener::Open(const std::string& path, int& errorCode)
{
    // Only regular files have a size to compare the read with.
    const int descriptor = OpenRegularFile(path, errorCode);
    if (descriptor < 0) return nullptr;
    return std::make_unique<PosixImageFile>(descriptor);
}

std::vector<DownloadPiece> PlanDownloadPieces(uint32_t size)
{
    std::vector<DownloadPiece> pieces;
    const uint32_t lastOffset = size / kDownloadPieceSize * kDownloadPieceSize;
    for (uint64_t offset = 0; offset <= lastOffset; offset += kDownloadPieceSize) {
        const uint32_t length = static_cast<uint32_t>(std::min<uint64_t>(size - offset, kDownloadPieceSize));
        pieces.push_back({static_cast<uint32_t>(offset), length});
    }
    return pieces;
}

ImageReadResult ReadMicrocodeImage(const std::string& path, ImageFileOpener& opener)
{
    ImageReadResult result;
    std::unique_ptr<ImageFile> file = opener.Open(path, result.errorCode);
    if (!file) {
        result.outcome = ImageReadResult::Outcome::OpenFailed;
        return result;
    }
    if (!file->Size(result.fileSize, result.errorCode)) {
        result.outcome = ImageReadResult::Outcome::ReadFailed;
        return result;
    }
    // Refused before a byte is read: the drive could not be told where the
    // rest belongs.
    if (result.fileSize > kMaxMicrocodeImageSize) {
        result.outcome = ImageReadResult::Outcome::TooLarge;
        return result;
    }
    // An empty image would go as one empty piece, which a drive may answer
    // GOOD without having taken anything.
    if (result.fileSize == 0) {
        result.outcome = ImageReadResult::Outcome::Empty;
        return result;
    }

    std::vector<uint8_t> image(static_cast<size_t>(result.fileSize));
    size_t filled = 0;
    while (filled < image.size()) {
        size_t got = 0;
        if (!file->Read(image.data() + filled, image.size() - filled, got, result.errorCode)) {
            result.bytesRead = filled;
            result.outcome = ImageReadResult::Outcome::ReadFailed;
            return result;
        }
        if (got == 0) break;
        filled += std::min(got, image.size() - filled);
    }
    result.bytesRead = filled;
    if (filled != image.size()) {
        result.outcome = ImageReadResult::Outcome::ShortRead;
        return result;
    }
    result.image = std::move(image);
    result.outcome = ImageReadResult::Outcome::Ok;
    return result;
}

std::string ImageReadMessage(const ImageReadResult& result, const std::string& path)
{
    using Outcome = ImageReadResult::Outcome;
    switch (result.outcome) {
    case Outcome::Ok: return {};
    case Outcome::OpenFailed: return kMsgFileNotOpened + SystemReason(path, result.errorCode, true);
    case Outcome::ReadFailed: return kMsgReadFailed + SystemReason(path, result.errorCode, false);
    case Outcome::ShortRead:
        return StringPrintf(kFmtShortRead, static_cast<unsigned long>(result.fileSize),
                            static_cast<unsigned long>(result.bytesRead));
    case Outcome::TooLarge:
        return StringPrintf(kFmtImageTooLarge, static_cast<unsigned long>(result.fileSize),
                            static_cast<unsigned long>(kMaxMicrocodeImageSize));
    case Outcome::Empty: return kMsgImageEmpty;
    }
    return {};
}
