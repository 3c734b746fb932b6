#include "legacytest/defect_lists.h"

#include <algorithm>
#include <cstring>

#include "legacytest/read_write_verify.h"
#include "legacytest/test_context.h"
#include "scsi/builders.h"
#include "scsi/byte_order.h"
#include "scsi/report.h"
#include "scsi/string_format.h"

namespace {

constexpr uint8_t kTranslatePage = 0x40;
constexpr uint16_t kTranslatePageLength = 14;
constexpr uint8_t kFormatLogicalBlock = 0x00;
constexpr uint8_t kFormatPhysicalSector = 0x05;
constexpr uint8_t kSendDiagnosticPf = 0x10;

// SEND DIAGNOSTIC with the page, then RECEIVE DIAGNOSTIC RESULTS of the
// translated address into the same bytes (SBC-3 translate address page).
bool Translate(uint8_t (&page)[kTranslatePageLength], TestContext& context, int report)
{
    ScsiRequest send;
    send.DataBuffer = page;
    send.DataTransferLength = kTranslatePageLength;
    if (ScsiSendDiagnostic(kSendDiagnosticPf, kTranslatePageLength, send, context.Device(), report) != 1) return false;
    // The page sent is no answer: what does not arrive must not be read
    // back as a translation.
    std::memset(page, 0, sizeof page);
    ScsiRequest receive;
    receive.DataBuffer = page;
    receive.DataTransferLength = kTranslatePageLength;
    if (ScsiReceiveDiagnostic(kTranslatePageLength, receive, context.Device(), report) != 1) return false;
    if (DataTransferred(receive) < kTranslatePageLength) return false;
    // Another page, or one too short to hold an address (a sector in the
    // drive's reserved area has none), gives no translation.
    return page[0] == kTranslatePage && LoadBe16(page + 2) >= 0x0A;
}

void StartPage(uint8_t (&page)[kTranslatePageLength], uint8_t supplied, uint8_t translateTo)
{
    std::memset(page, 0, sizeof page);
    page[0] = kTranslatePage;
    page[3] = 0x0A;
    page[4] = supplied;
    page[5] = translateTo;
}

}  // namespace

int ReadDefectLists(TestContext& context, std::span<uint8_t> buffer, uint16_t allocationLength, size_t* received)
{
    if (received) *received = 0;
    std::fill(buffer.begin(), buffer.end(), uint8_t{0});
    ScsiRequest request;
    request.DataBuffer = buffer.data();
    request.DataTransferLength = static_cast<uint32_t>(std::min<size_t>(allocationLength, buffer.size()));
    const uint16_t allocation = static_cast<uint16_t>(request.DataTransferLength);
    if (ScsiReadDefectData10(allocation, kPhysicalSectorFormat, 3, request, context.Device(), 0) == 1) {
        if (received) *received = DataTransferred(request);
        return kDefectReadOk;
    }
    return request.ScsiStatus == 0 ? kDefectReadCallFailed : kDefectReadStatusFailed;
}

std::vector<PhysicalDefect> DecodePhysicalDefectList(std::span<const uint8_t> data)
{
    std::vector<PhysicalDefect> defects;
    if (data.size() < kDefectListHeaderLength) return defects;
    if ((data[1] & 0x07) != kPhysicalSectorFormat) return defects;
    const size_t listEnd =
        std::min(kDefectListHeaderLength + size_t{LoadBe16(data.data() + 2)}, data.size());
    for (size_t offset = kDefectListHeaderLength; offset + kPhysicalDefectLength <= listEnd;
         offset += kPhysicalDefectLength) {
        const uint8_t* descriptor = data.data() + offset;
        PhysicalDefect defect;
        defect.cylinder = LoadBe24(descriptor);
        defect.head = descriptor[3];
        defect.sector = LoadBe32(descriptor + 4);
        defect.offset = static_cast<uint32_t>(offset);
        defects.push_back(defect);
    }
    return defects;
}

int PhysToLBA(uint32_t cylinder, uint8_t head, uint32_t sector, uint32_t& lba, TestContext& context, int report)
{
    uint8_t page[kTranslatePageLength];
    StartPage(page, kFormatPhysicalSector, kFormatLogicalBlock);
    StoreBe24(page + 6, cylinder);
    page[9] = head;
    StoreBe32(page + 10, sector);
    if (!Translate(page, context, report)) return kTranslateFailed;
    lba = LoadBe32(page + 6);
    return kTranslateOk;
}

int LbaToPhys(uint32_t lba, uint32_t& cylinder, uint8_t& head, uint32_t& sector, TestContext& context, int report)
{
    uint8_t page[kTranslatePageLength];
    StartPage(page, kFormatLogicalBlock, kFormatPhysicalSector);
    StoreBe32(page + 6, lba);
    if (!Translate(page, context, report)) return kTranslateFailed;
    cylinder = LoadBe24(page + 6);
    head = page[9];
    sector = LoadBe32(page + 10);
    return kTranslateOk;
}

void CountHeads(TestWorkspace& workspace, TestContext& context)
{
    workspace.headCount = 0;
    for (int head = 0; head < 255; ++head) {
        uint32_t lba = 0;
        if (PhysToLBA(0, static_cast<uint8_t>(head), 0, lba, context, 0) != kTranslateOk) {
            workspace.headCount = static_cast<uint8_t>(head);
            return;
        }
    }
}

int CheckPhysicalHeads(TestWorkspace& workspace, TestContext& context, uint16_t count, uint32_t lba,
                       uint32_t bytesPerBlock)
{
    uint32_t cylinder = 0;
    uint8_t lbaHead = 0;
    uint32_t sector = 0;
    if (LbaToPhys(lba, cylinder, lbaHead, sector, context, 1) != kTranslateOk) {
        ReportBlock(workspace.output, StringPrintf("Logical to Physical translation failed for LBA=%08x", lba).c_str());
        return kHeadsFailed;
    }
    if (lba != 0 && cylinder < 256) return kHeadsNothingDone;
    if (workspace.headCount == 0) return kHeadsPass;
    for (int head = 0; head < workspace.headCount; ++head) {
        if (lba == 0 && head == lbaHead) continue;
        uint32_t headLba = 0;
        if (PhysToLBA(cylinder, static_cast<uint8_t>(head), 0, headLba, context, 0) != kTranslateOk) {
            ReportBlock(workspace.output,
                        StringPrintf("PhysToLBA failure, Cyl=%08x head=%x", cylinder, static_cast<unsigned>(head)).c_str());
            return kHeadsFailed;
        }
        if (ReadWriteVerifyBlocks(context, workspace, headLba, count, bytesPerBlock) != kRwvOk) return kHeadsFailed;
    }
    return kHeadsPass;
}
