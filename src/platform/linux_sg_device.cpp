#include "platform/linux_sg_device.h"

#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdint>

#include "platform/adapter_list.h"
#include "platform/linux_adapter_list.h"
#include "platform/linux_sg_io.h"
#include "scsi/scsi_request.h"

namespace {

uint32_t ClampToU32(uint64_t value) { return static_cast<uint32_t>(std::min<uint64_t>(value, UINT32_MAX)); }

}  // namespace

AdapterCapabilities LinuxCapabilities(int reservedSize, int tableSize, const std::optional<SysfsQueueLimits>& limits)
{
    AdapterCapabilities capabilities;
    // The sg driver caps its reserved buffer at the queue's transfer limit;
    // the block queue, when there is one, tells the limit itself.
    capabilities.maximumTransferLength = static_cast<uint32_t>(std::max(reservedSize, 0));
    capabilities.maximumPhysicalPages = static_cast<uint32_t>(std::max(tableSize, 0));
    if (limits) {
        capabilities.maximumTransferLength = ClampToU32(limits->maxHwSectorsKb * 1024);
        capabilities.maximumPhysicalPages = ClampToU32(limits->maxSegments);
        capabilities.alignmentMask = ClampToU32(limits->dmaAlignment.value_or(0));
    }
    return capabilities;
}

LinuxSgDevice::LinuxSgDevice(int fd, std::string sysfsRoot) : fd_(fd), sysfs_(std::move(sysfsRoot)) {}

LinuxSgDevice::~LinuxSgDevice()
{
    if (fd_ >= 0) close(fd_);
}

bool LinuxSgDevice::Execute(ScsiRequest& request)
{
    sg_io_hdr_t header{};
    std::array<uint8_t, kSgSenseBufferSize> sense{};
    int errorCode = 0;
    if (!PrepareSgIo(request, header, sense.data(), sense.size(), errorCode)) {
        request.ScsiStatus = 0;
        errno = errorCode;
        return false;
    }
    // The sg driver moves data through the descriptor's reserved buffer when
    // it is large enough, and builds and frees a buffer for every command
    // otherwise: at 1 MiB a command that costs a third of the rate. It caps
    // the size at what the queue allows; a refusal leaves it as it was.
    if (header.dxfer_len > reserveAsked_) {
        int wanted = static_cast<int>(std::min<unsigned>(header.dxfer_len, INT_MAX));
        ioctl(fd_, SG_SET_RESERVED_SIZE, &wanted);
        reserveAsked_ = header.dxfer_len;
    }
    // Not retried on EINTR: the command may already have reached the drive.
    if (ioctl(fd_, SG_IO, &header) < 0) {
        request.ScsiStatus = 0;
        return false;
    }
    return CompleteSgIo(header, sense.data(), request);
}

bool LinuxSgDevice::QueryHctl(ScsiHctl& address, int& errorCode) const
{
    sg_scsi_id id{};
    if (ioctl(fd_, SG_GET_SCSI_ID, &id) < 0) {
        errorCode = errno;
        return false;
    }
    address.host = id.host_no;
    address.channel = id.channel;
    address.target = id.scsi_id;
    address.lun = static_cast<uint32_t>(id.lun);
    return true;
}

bool LinuxSgDevice::QueryAddress(ScsiAddress& address)
{
    ScsiHctl hctl;
    int errorCode = 0;
    if (!QueryHctl(hctl, errorCode)) {
        errno = errorCode;
        return false;
    }
    address.host = hctl.host;
    address.bus = BusRank(sysfs_.SgDevices(), hctl.host, hctl.channel);
    address.targetId = hctl.target;
    address.lun = static_cast<int>(hctl.lun);
    return true;
}

bool LinuxSgDevice::QueryAdapterInquiryData(std::vector<uint8_t>& buffer, int& errorCode)
{
    ScsiHctl hctl;
    if (!QueryHctl(hctl, errorCode)) return false;
    // Without the device's own sysfs entry the list would be a guess.
    if (!sysfs_.ReadDevice(hctl)) {
        errorCode = ENOENT;
        return false;
    }
    const AdapterList list = ReadHostAdapterList(sysfs_, hctl.host);
    buffer = BuildAdapterInquiryData(list.numberOfBuses, list.devices);
    errorCode = 0;
    return true;
}

bool LinuxSgDevice::QueryCapabilities(AdapterCapabilities& capabilities, int& errorCode)
{
    int reservedSize = 0;
    int tableSize = 0;
    ScsiHctl hctl;
    if (ioctl(fd_, SG_GET_RESERVED_SIZE, &reservedSize) < 0 || ioctl(fd_, SG_GET_SG_TABLESIZE, &tableSize) < 0) {
        errorCode = errno;
        return false;
    }
    if (!QueryHctl(hctl, errorCode)) return false;

    capabilities = LinuxCapabilities(reservedSize, tableSize, sysfs_.ReadQueueLimits(hctl));
    errorCode = 0;
    return true;
}
