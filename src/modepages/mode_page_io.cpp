#include "modepages/mode_page_io.h"

#include <iostream>

#include "modepages/mode_buffer.h"
#include "scsi/builders.h"
#include "scsi/mode_select_list.h"

namespace {

constexpr uint8_t kSenseKeyNoSense = 0x00;
constexpr uint8_t kSenseKeyRecoveredError = 0x01;
constexpr uint32_t kModeHeaderLength = 4;

ScsiRequest RequestOn(uint8_t* buffer)
{
    ScsiRequest request{};
    request.DataBuffer = buffer;
    request.DataTransferLength = kModeBufferSize;
    return request;
}

}  // namespace

bool ReadModePage(uint8_t* buffer, uint8_t pageControl, uint8_t pageCode)
{
    DeviceHandle* handle = SheetDeviceHandle();
    if (!handle) return false;
    ScsiRequest request = RequestOn(buffer);
    const uint8_t disableBlockDescriptors = 1;
    if (ScsiModeSense6(&disableBlockDescriptors, &pageControl, &pageCode, request, handle, 0) != 1) {
        if (request.ScsiStatus == 0) return false;
        // Sense byte 2 is taken whole: a sense key of 0 or 1 with none of
        // the flag bits.
        const uint8_t senseByte2 = request.SenseData[2];
        if (senseByte2 != kSenseKeyNoSense && senseByte2 != kSenseKeyRecoveredError) return false;
    }
    // The mode data are what arrived: a header at least, and no byte past
    // the last one the drive sent. A reply that filled the buffer keeps its
    // length, which says there was more than fits.
    const uint32_t received = DataTransferred(request);
    if (received < kModeHeaderLength) return false;
    if (received < kModeBufferSize && size_t{buffer[0]} + 1 > received) buffer[0] = static_cast<uint8_t>(received - 1);
    return true;
}

int WriteModePage(uint8_t* buffer, int save, ModeWriteRefusal* refusal)
{
    DeviceHandle* handle = SheetDeviceHandle();
    if (!handle) return kModeWriteNoDevice;
    // A mode data length of FFh would make a parameter list of 256 bytes,
    // which neither the buffer nor the 8-bit length can carry: sending
    // length 0 instead would change nothing and look like success.
    if (buffer[0] >= kModeBufferSize) {
        std::clog << "Mode parameter list of " << (buffer[0] + 1)
                  << " bytes is longer than MODE SELECT(6) can send; nothing sent" << std::endl;
        return kModeWriteFailed;
    }
    const uint8_t parameterListLength = static_cast<uint8_t>(buffer[0] + 1);
    PrepareModeSelectList(buffer, parameterListLength);
    ScsiRequest request = RequestOn(buffer);
    const uint8_t byte1 = kModeSelectPageFormat | (save == 1 ? kModeSelectSavePages : 0x00);
    if (ScsiModeSelect6(&byte1, &parameterListLength, request, handle, 1) == 1) return kModeWriteDone;
    if (refusal) {
        refusal->status = request.ScsiStatus;
        refusal->sense = ReadSenseCodes(request.SenseData, request.SenseInfoLength);
    }
    return kModeWriteFailed;
}
