#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "download/download_test_support.h"
#include "download/download_transfer.h"
#include "download/microcode_image.h"
#include "scsi/byte_order.h"
#include "sim/sim_device.h"
#include "sim/sim_disk.h"

namespace {

SimDriveConfig SmallDrive(const uint8_t* data, size_t size)
{
    SimDriveConfig config;
    config.vendor = "FUZZ";
    config.product = "BUFFER";
    config.blocks = 16;
    config.buffer.capacity = 1 + (size > 1 ? data[1] * 97u : 4096u);
    config.buffer.offsetBoundary = size > 2 ? static_cast<uint8_t>(data[2] % 5) : 0;
    config.buffer.microcodeCapacity = size > 3 ? data[3] * 1024u : 65536u;
    config.buffer.stuckOffset = size > 4 && data[4] < 128 ? std::optional<uint32_t>(data[4]) : std::nullopt;
    return config;
}

// The image read in chunks the input chooses, cut into pieces and taken by a
// drive whole.
void DownloadThroughDrive(const uint8_t* data, size_t size)
{
    const std::vector<uint8_t> file(data + std::min<size_t>(size, 2), data + size);
    dltest::MemoryImageOpener opener;
    opener.files["fuzz.lod"] = {.bytes = file, .maxChunk = size > 1 ? 1 + data[1] * 311u : 1};
    ImageReadResult read = ReadMicrocodeImage("fuzz.lod", opener);
    if (file.empty()) {
        if (read.outcome != ImageReadResult::Outcome::Empty) __builtin_trap();
        return;
    }
    if (read.outcome != ImageReadResult::Outcome::Ok || read.image != file) __builtin_trap();

    SimDriveConfig config = SmallDrive(data, 0);
    config.buffer.microcodeCapacity = kMaxMicrocodeImageSize;
    auto disk = std::make_shared<SimDisk>(config);
    const DeviceHandle handle = std::make_shared<SimScsiDevice>(disk, nullptr, 0, 0);
    const std::atomic<bool> cancelled{false};
    const TransferResult sent = DownloadImage(handle, read.image, cancelled, nullptr);
    if (sent.outcome != TransferResult::Outcome::Sent || disk->MicrocodeImage() != file) __builtin_trap();
}

// Buffer commands as the input writes them: CDB bytes, then data-out.
void RawBufferCommands(const uint8_t* data, size_t size)
{
    SimDisk disk(SmallDrive(data, size));
    size_t at = 5;
    while (at + 10 <= size) {
        uint8_t cdb[10];
        std::memcpy(cdb, data + at, sizeof cdb);
        at += sizeof cdb;
        if (cdb[0] != 0x3B && cdb[0] != 0x3C) cdb[0] = (cdb[0] & 1) ? 0x3B : 0x3C;
        cdb[6] = 0;  // keep transfers below 64 KiB
        const uint32_t length = LoadBe16(cdb + 7);
        const bool read = cdb[0] == 0x3C;
        // Data-out comes from the input and may fall short of the CDB's length.
        std::vector<uint8_t> buffer(read ? length : std::min<size_t>(length, size - at));
        if (!read) {
            std::copy(data + at, data + at + buffer.size(), buffer.begin());
            at += buffer.size();
        }
        const SimDirection direction = read ? SimDirection::In : SimDirection::Out;
        const SimResult result = disk.Execute(cdb, sizeof cdb, direction, buffer.data(),
                                              static_cast<uint32_t>(buffer.size()), 1);
        if (result.dataInLength > buffer.size()) __builtin_trap();
    }
}

}  // namespace

// The first byte chooses: an image sent to a drive, or raw READ / WRITE
// BUFFER commands against one.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    if ((data[0] & 1) == 0) {
        DownloadThroughDrive(data, size);
    } else {
        RawBufferCommands(data, size);
    }
    return 0;
}
