// READ DEFECT DATA (10) (SBC-3): the primary (manufacturer's) and grown
// defect lists, in block, bytes-from-index or physical sector format.
#include <algorithm>
#include <tuple>

#include "sim/sim_disk.h"

#include "scsi/byte_order.h"

namespace {

constexpr uint8_t kFormatShortBlock = 0x0;
constexpr uint8_t kFormatLongBlock = 0x3;
constexpr uint8_t kFormatBytesFromIndex = 0x4;
constexpr uint8_t kFormatPhysicalSector = 0x5;
constexpr size_t kHeaderLength = 4;

bool Supported(uint8_t format)
{
    return format == kFormatShortBlock || format == kFormatLongBlock || format == kFormatBytesFromIndex ||
           format == kFormatPhysicalSector;
}

bool Before(const SimPhysicalSector& a, const SimPhysicalSector& b)
{
    return std::tie(a.cylinder, a.head, a.sector) < std::tie(b.cylinder, b.head, b.sector);
}

void AppendDescriptor(std::vector<uint8_t>& list, uint8_t format, SimPhysicalSector place,
                      const SimGeometry& geometry, uint32_t blockLength)
{
    // A whole track keeps FFFFFFFFh in the physical sector and
    // bytes-from-index formats; a block list names its first block.
    const bool wholeTrack = place.sector == kSimWholeTrack;
    if (wholeTrack) place.sector = 0;
    switch (format) {
    case kFormatShortBlock: AppendBigEndian(list, std::min<uint64_t>(LbaOf(geometry, place), 0xFFFFFFFFu), 4); return;
    case kFormatLongBlock: AppendBigEndian(list, LbaOf(geometry, place), 8); return;
    case kFormatBytesFromIndex:
        AppendBigEndian(list, place.cylinder, 3);
        AppendBigEndian(list, place.head, 1);
        AppendBigEndian(list, wholeTrack ? kSimWholeTrack : uint64_t{place.sector} * blockLength, 4);
        return;
    default:
        AppendBigEndian(list, place.cylinder, 3);
        AppendBigEndian(list, place.head, 1);
        AppendBigEndian(list, wholeTrack ? kSimWholeTrack : place.sector, 4);
        return;
    }
}

}  // namespace

void SimDisk::ReadDefectData10(SimCommand& command)
{
    const bool wantPrimary = command.Bit(2, 4);
    const bool wantGrown = command.Bit(2, 3);
    const uint8_t requested = command.Byte(2) & 0x07;
    const uint16_t allocationLength = command.Be16(7);
    // A format the drive does not keep: the list comes in its own format
    // and the command ends with RECOVERED ERROR, DEFECT LIST NOT FOUND.
    const uint8_t format = Supported(requested) ? requested : kFormatPhysicalSector;

    std::vector<SimPhysicalSector> defects;
    if (wantPrimary) defects = config_.media.primaryDefects;
    if (wantGrown) defects.insert(defects.end(), config_.media.grownDefects.begin(), config_.media.grownDefects.end());
    std::sort(defects.begin(), defects.end(), Before);

    const SimGeometry geometry = config_.geometry.value_or(SimGeometry{});
    std::vector<uint8_t> data{0x00, static_cast<uint8_t>((wantPrimary ? 0x10 : 0) | (wantGrown ? 0x08 : 0) | format), 0, 0};
    for (const SimPhysicalSector& place : defects) AppendDescriptor(data, format, place, geometry, medium_.BlockLength());
    // The length of the whole list, even when the allocation length cuts
    // the transfer: that is how the host learns how much to ask for.
    const size_t listLength = std::min<size_t>(data.size() - kHeaderLength, 0xFFFF);
    StoreBe16(data.data() + 2, static_cast<uint16_t>(listLength));
    command.SendData(data, allocationLength);
    if (format != requested) command.Fail(MakeSense(kSenseKeyRecoveredError, 0x1C, 0x00));
}
