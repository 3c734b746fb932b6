#include "scsi/builders.h"

#include "scsi/byte_order.h"
#include "scsi/execute.h"

namespace {

void Prepare(ScsiRequest& request, uint8_t opcode, uint8_t cdbLength, uint32_t timeOut)
{
    request.Cdb[0] = opcode;
    request.CdbLength = cdbLength;
    request.TimeOutValue = timeOut;
}

constexpr uint32_t kDefaultTimeOut = kShortTimeOut;
constexpr uint32_t kSendDiagnosticTimeOut = 30;
constexpr uint32_t kReadDefectDataTimeOut = 500;
constexpr uint8_t kRequestSenseLength = 19;

}  // namespace

int ScsiTestUnitReady(int report, ScsiRequest& request, DeviceHandle* handle, uint32_t timeOut)
{
    Prepare(request, 0x00, 6, timeOut);
    if (ExecuteScsiRequest(request, handle, kScsiDataIn, report) == 1) return kTestUnitReadyGood;
    return request.ScsiStatus != 0 ? kTestUnitReadyStatus : kTestUnitReadyCallFailed;
}

int ScsiRequestSense(ScsiRequest& request, DeviceHandle* handle, uint32_t /*allocationLength*/, int report)
{
    Prepare(request, 0x03, 6, kDefaultTimeOut);
    request.Cdb[4] = kRequestSenseLength;
    return ExecuteScsiRequest(request, handle, kScsiDataIn, report);
}

int ScsiInquiry(const uint8_t* evpd, const uint8_t* pageCode, ScsiRequest& request, DeviceHandle* handle, int report)
{
    Prepare(request, 0x12, 6, kDefaultTimeOut);
    request.Cdb[1] = *evpd;
    request.Cdb[2] = *pageCode;
    request.Cdb[4] = 0xFF;
    request.Cdb[5] = 0x00;
    return ExecuteScsiRequest(request, handle, kScsiDataIn, report);
}

int ScsiModeSelect6(const uint8_t* byte1, const uint8_t* parameterListLength, ScsiRequest& request,
                    DeviceHandle* handle, int report)
{
    Prepare(request, 0x15, 6, kDefaultTimeOut);
    request.Cdb[1] = *byte1;
    request.Cdb[4] = *parameterListLength;
    return ExecuteScsiRequest(request, handle, kScsiDataOut, report);
}

int ScsiModeSense6(const uint8_t* disableBlockDescriptors, const uint8_t* pageControl, const uint8_t* pageCode,
                   ScsiRequest& request, DeviceHandle* handle, int report)
{
    Prepare(request, 0x1A, 6, kDefaultTimeOut);
    request.Cdb[1] = *disableBlockDescriptors != 0 ? 0x08 : 0x00;
    request.Cdb[2] = static_cast<uint8_t>(*pageControl * 64 + *pageCode);
    request.Cdb[4] = 0xFF;
    return ExecuteScsiRequest(request, handle, kScsiDataIn, report);
}

int ScsiStartUnit(int report, ScsiRequest& request, DeviceHandle* handle)
{
    Prepare(request, 0x1B, 6, kDefaultTimeOut);
    request.Cdb[4] = 0x01;
    return ExecuteScsiRequest(request, handle, kScsiDataIn, report);
}

int ScsiReceiveDiagnostic(uint16_t allocationLength, ScsiRequest& request, DeviceHandle* handle, int report)
{
    Prepare(request, 0x1C, 6, kDefaultTimeOut);
    StoreBe16(request.Cdb + 3, allocationLength);
    return ExecuteScsiRequest(request, handle, kScsiDataIn, report);
}

int ScsiSendDiagnostic(uint8_t byte1, uint16_t parameterListLength, ScsiRequest& request, DeviceHandle* handle,
                       int report)
{
    Prepare(request, 0x1D, 6, kSendDiagnosticTimeOut);
    // PF, SelfTest, DevOffL, UnitOffL only: a self-test code needs a CDB
    // built by hand.
    request.Cdb[1] = byte1 & 0x1F;
    StoreBe16(request.Cdb + 3, parameterListLength);
    return ExecuteScsiRequest(request, handle, kScsiDataOut, report);
}

int ScsiReadCapacity(uint8_t pmi, uint32_t lba, ScsiRequest& request, DeviceHandle* handle, int report)
{
    Prepare(request, 0x25, 10, kDefaultTimeOut);
    StoreBe32(request.Cdb + 2, lba);
    if (pmi <= 1) request.Cdb[8] = pmi;
    return ExecuteScsiRequest(request, handle, kScsiDataIn, report);
}

int ScsiRead10(const uint32_t* lba, const uint16_t* blockCount, ScsiRequest& request, DeviceHandle* handle,
               int report, uint32_t timeOut)
{
    Prepare(request, 0x28, 10, timeOut);
    StoreBe32(request.Cdb + 2, *lba);
    StoreBe16(request.Cdb + 7, *blockCount);
    return ExecuteScsiRequest(request, handle, kScsiDataIn, report);
}

int ScsiWriteVerify10(int byteCheck, const uint32_t* lba, const uint16_t* blockCount, ScsiRequest& request,
                      DeviceHandle* handle, int report)
{
    Prepare(request, 0x2E, 10, kDefaultTimeOut);
    request.Cdb[1] = byteCheck != 0 ? 0x02 : 0x00;
    StoreBe32(request.Cdb + 2, *lba);
    StoreBe16(request.Cdb + 7, *blockCount);
    return ExecuteScsiRequest(request, handle, kScsiDataOut, report);
}

int ScsiReadDefectData10(uint16_t allocationLength, uint8_t defectListFormat, uint8_t listSelect,
                         ScsiRequest& request, DeviceHandle* handle, int report)
{
    Prepare(request, 0x37, 10, kReadDefectDataTimeOut);
    request.Cdb[2] = static_cast<uint8_t>(((listSelect & 3) << 3) | (defectListFormat & 7));
    StoreBe16(request.Cdb + 7, allocationLength);
    return ExecuteScsiRequest(request, handle, kScsiDataIn, report);
}

int ScsiWriteBuffer(uint8_t mode, uint32_t parameterListLength, ScsiRequest& request, DeviceHandle* handle,
                    int report)
{
    Prepare(request, 0x3B, 10, kDefaultTimeOut);
    request.Cdb[1] = mode;
    StoreBe24(request.Cdb + 6, parameterListLength);
    return ExecuteScsiRequest(request, handle, kScsiDataOut, report);
}

int ScsiReadBuffer(uint8_t mode, uint32_t allocationLength, ScsiRequest& request, DeviceHandle* handle, int report)
{
    Prepare(request, 0x3C, 10, kDefaultTimeOut);
    request.Cdb[1] = mode;
    StoreBe24(request.Cdb + 6, allocationLength);
    return ExecuteScsiRequest(request, handle, kScsiDataIn, report);
}

int ScsiLogSelect(uint8_t pageControl, uint16_t parameterListLength, ScsiRequest& request, DeviceHandle* handle,
                  int report)
{
    Prepare(request, 0x4C, 10, kDefaultTimeOut);
    if (pageControl < 4) request.Cdb[2] = static_cast<uint8_t>(pageControl * 64);
    StoreBe16(request.Cdb + 7, parameterListLength);
    return ExecuteScsiRequest(request, handle, kScsiDataOut, report);
}

int ScsiLogSense(uint8_t pageControl, uint16_t allocationLength, uint8_t pageCode, ScsiRequest& request,
                 DeviceHandle* handle, int report)
{
    Prepare(request, 0x4D, 10, kDefaultTimeOut);
    if (pageControl < 4) request.Cdb[2] = static_cast<uint8_t>(pageControl * 64);
    request.Cdb[2] |= pageCode;
    StoreBe16(request.Cdb + 7, allocationLength);
    return ExecuteScsiRequest(request, handle, kScsiDataIn, report);
}

int ScsiVendorDF(ScsiRequest& request, DeviceHandle* handle, int report)
{
    Prepare(request, 0xDF, 6, kDefaultTimeOut);
    static constexpr uint8_t kVendorCdb[6] = {0xDF, 0x00, 0x71, 0x0E, 0x00, 0x00};
    for (int i = 0; i < 6; ++i) request.Cdb[i] = kVendorCdb[i];
    return ExecuteScsiRequest(request, handle, kScsiDataOut, report);
}

int ScsiReadCapacity16(uint8_t pmi, uint64_t lba, uint32_t allocationLength, ScsiRequest& request,
                       DeviceHandle* handle, int report)
{
    Prepare(request, 0x9E, 16, kDefaultTimeOut);
    request.Cdb[1] = 0x10;
    StoreBe64(request.Cdb + 2, lba);
    StoreBe32(request.Cdb + 10, allocationLength);
    if (pmi <= 1) request.Cdb[14] = pmi;
    return ExecuteScsiRequest(request, handle, kScsiDataIn, report);
}

int ScsiRead16(uint64_t lba, uint32_t blockCount, ScsiRequest& request, DeviceHandle* handle, int report,
               uint32_t timeOut)
{
    Prepare(request, 0x88, 16, timeOut);
    StoreBe64(request.Cdb + 2, lba);
    StoreBe32(request.Cdb + 10, blockCount);
    return ExecuteScsiRequest(request, handle, kScsiDataIn, report);
}

int ScsiWriteVerify16(int byteCheck, uint64_t lba, uint32_t blockCount, ScsiRequest& request, DeviceHandle* handle,
                      int report)
{
    Prepare(request, 0x8E, 16, kDefaultTimeOut);
    request.Cdb[1] = byteCheck != 0 ? 0x02 : 0x00;
    StoreBe64(request.Cdb + 2, lba);
    StoreBe32(request.Cdb + 10, blockCount);
    return ExecuteScsiRequest(request, handle, kScsiDataOut, report);
}

int ScsiVerify10(uint32_t lba, uint16_t blockCount, ScsiRequest& request, DeviceHandle* handle, int report,
                 uint32_t timeOut)
{
    Prepare(request, 0x2F, 10, timeOut);
    StoreBe32(request.Cdb + 2, lba);
    StoreBe16(request.Cdb + 7, blockCount);
    return ExecuteScsiRequest(request, handle, kScsiDataIn, report);
}

int ScsiVerify16(uint64_t lba, uint32_t blockCount, ScsiRequest& request, DeviceHandle* handle, int report,
                 uint32_t timeOut)
{
    Prepare(request, 0x8F, 16, timeOut);
    StoreBe64(request.Cdb + 2, lba);
    StoreBe32(request.Cdb + 10, blockCount);
    return ExecuteScsiRequest(request, handle, kScsiDataIn, report);
}
