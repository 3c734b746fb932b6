// SEND DIAGNOSTIC and RECEIVE DIAGNOSTIC RESULTS (SPC-4): the self-test
// codes, the supported diagnostic pages page and the translate address
// page (SBC-3).
#include <algorithm>

#include "scsi/byte_order.h"
#include "sim/sim_disk.h"
#include "sim/sim_selftest.h"

namespace {

constexpr uint8_t kPageSupported = 0x00;
constexpr uint8_t kPageTranslateAddress = 0x40;

// Address descriptor formats of the translate address page (SBC-3).
constexpr uint8_t kFormatShortBlock = 0x0;
constexpr uint8_t kFormatLongBlock = 0x3;
constexpr uint8_t kFormatPhysicalSector = 0x5;

constexpr uint8_t kRarea = 0x20;  // the address lies in a reserved area

SimSense SelfTestInProgress() { return MakeSense(kSenseKeyNotReady, 0x04, 0x09); }
SimSense FailedSelfTest() { return MakeSense(kSenseKeyHardwareError, 0x3E, 0x03); }
SimSense ParameterListLengthError() { return MakeSense(kSenseKeyIllegalRequest, 0x1A, 0x00); }

SimSense InvalidFieldInParameterList(uint16_t byteIndex, int bitIndex = -1)
{
    SimSense sense = InvalidFieldInCdb(byteIndex, bitIndex);
    sense.asc = 0x26;
    sense.inCdb = false;
    return sense;
}

bool IsAddressFormat(uint8_t format)
{
    return format == kFormatShortBlock || format == kFormatLongBlock || format == kFormatPhysicalSector;
}

std::vector<uint8_t> PageHeader(uint8_t pageCode, size_t pageLength)
{
    std::vector<uint8_t> page(4 + pageLength, 0);
    page[0] = pageCode;
    StoreBe16(page.data() + 2, static_cast<uint16_t>(pageLength));
    return page;
}

}  // namespace

std::vector<uint8_t> SimDisk::SupportedDiagnosticPages() const
{
    std::vector<uint8_t> codes{kPageSupported};
    if (config_.geometry) codes.push_back(kPageTranslateAddress);
    std::vector<uint8_t> page = PageHeader(kPageSupported, codes.size());
    std::copy(codes.begin(), codes.end(), page.begin() + 4);
    return page;
}

void SimDisk::SendDiagnostic(SimCommand& command)
{
    const uint8_t code = command.Byte(1) >> 5;
    const bool pageFormat = command.Bit(1, 4);
    const bool selfTestBit = command.Bit(1, 2);
    const uint16_t listLength = command.Be16(3);
    if (command.Bit(1, 3)) {
        command.Fail(InvalidFieldInCdb(1, 3));
        return;
    }
    const int64_t now = SelfTestNow();
    selfTest_.Settle(now);

    if (selfTestBit || code != kSelfTestCodeDefault) {
        // A self-test takes no parameter list, and the SELFTEST bit only goes
        // with the default self-test.
        if (selfTestBit && code != kSelfTestCodeDefault) {
            command.Fail(InvalidFieldInCdb(1, 7));
            return;
        }
        if (listLength != 0) {
            command.Fail(InvalidFieldInCdb(3));
            return;
        }
        RunSelfTestCode(command, selfTestBit ? kSelfTestCodeDefault : code, now);
        return;
    }
    if (listLength == 0) return;  // nothing asked
    // Without PF the list would be in a vendor's own format; this drive has none.
    if (!pageFormat) {
        command.Fail(InvalidFieldInCdb(1, 4));
        return;
    }
    const uint8_t* list = command.ReceiveData(listLength);
    if (!list) return;
    TakeDiagnosticPage(command, list, listLength);
}

void SimDisk::RunSelfTestCode(SimCommand& command, uint8_t code, int64_t now)
{
    const bool background = code == kSelfTestCodeBackgroundShort || code == kSelfTestCodeBackgroundExtended;
    const bool foreground = code == kSelfTestCodeForegroundShort || code == kSelfTestCodeForegroundExtended;
    const bool known = code == kSelfTestCodeDefault || background || foreground || code == kSelfTestCodeAbortBackground;
    if (!known || (code != kSelfTestCodeDefault && !selfTest_.Supported()) || selfTest_.Refuses(code)) {
        command.Fail(InvalidFieldInCdb(1, 7));
        return;
    }
    if (code == kSelfTestCodeAbortBackground) {
        // Valid only while a background self-test runs (SPC-4).
        if (!selfTest_.AbortBackground(now)) command.Fail(InvalidFieldInCdb(1, 7));
        return;
    }
    // While a background test runs, only an abort or a diagnostic page is taken.
    if (selfTest_.BackgroundRunning()) {
        command.Fail(SelfTestInProgress());
        return;
    }
    diagnosticResult_.reset();
    if (background) {
        selfTest_.StartBackground(code, now);
        return;
    }
    if (!selfTest_.RunForeground(code, now)) command.Fail(FailedSelfTest());
}

void SimDisk::TakeDiagnosticPage(SimCommand& command, const uint8_t* list, uint16_t listLength)
{
    if (listLength < 4) {
        command.Fail(ParameterListLengthError());
        return;
    }
    const uint16_t pageLength = LoadBe16(list + 2);
    if (size_t{4} + pageLength > listLength) {
        command.Fail(ParameterListLengthError());
        return;
    }
    if (list[0] == kPageSupported) {
        diagnosticResult_ = SupportedDiagnosticPages();
        return;
    }
    if (list[0] != kPageTranslateAddress || !config_.geometry) {
        command.Fail(InvalidFieldInParameterList(0));
        return;
    }
    if (pageLength < 0x0A) {
        command.Fail(InvalidFieldInParameterList(2));
        return;
    }
    TranslateAddress(command, list);
}

void SimDisk::TranslateAddress(SimCommand& command, const uint8_t* page)
{
    const SimGeometry& geometry = *config_.geometry;
    const uint8_t supplied = page[4] & 0x07;
    const uint8_t wanted = page[5] & 0x07;
    if (!IsAddressFormat(supplied) || (page[4] & 0xF8) != 0) {
        command.Fail(InvalidFieldInParameterList(4));
        return;
    }
    if (!IsAddressFormat(wanted) || (page[5] & 0xF8) != 0) {
        command.Fail(InvalidFieldInParameterList(5));
        return;
    }

    uint64_t lba = 0;
    if (supplied == kFormatPhysicalSector) {
        SimPhysicalSector place;
        place.cylinder = LoadBe24(page + 6);
        place.head = page[9];
        place.sector = LoadBe32(page + 10);
        if (!InGeometry(geometry, place)) {
            const uint16_t field = place.cylinder >= geometry.cylinders ? 6 : place.head >= geometry.heads ? 9 : 10;
            command.Fail(InvalidFieldInParameterList(field));
            return;
        }
        lba = LbaOf(geometry, place);
    } else {
        lba = supplied == kFormatShortBlock ? LoadBe32(page + 6) : LoadBe64(page + 6);
        if (lba >= medium_.Blocks()) {
            command.Fail(LbaOutOfRange());
            return;
        }
    }

    std::vector<uint8_t> result = PageHeader(kPageTranslateAddress, 2);
    result[4] = supplied;
    result[5] = wanted;
    // A physical sector past the last logical block holds no block: it is
    // the drive's reserved area, and no address is returned for it.
    if (lba >= medium_.Blocks()) {
        result[5] |= kRarea;
    } else if (wanted == kFormatShortBlock && lba > 0xFFFFFFFFu) {
        command.Fail(InvalidFieldInParameterList(5));
        return;
    } else {
        uint8_t address[8] = {};
        if (wanted == kFormatPhysicalSector) {
            const SimPhysicalSector place = PhysicalSectorOf(geometry, lba);
            StoreBe24(address, place.cylinder);
            address[3] = static_cast<uint8_t>(place.head);
            StoreBe32(address + 4, place.sector);
        } else if (wanted == kFormatShortBlock) {
            StoreBe32(address, static_cast<uint32_t>(lba));
        } else {
            StoreBe64(address, lba);
        }
        result.insert(result.end(), address, address + 8);
        result[3] = 0x0A;
    }
    diagnosticResult_ = std::move(result);
}

void SimDisk::ReceiveDiagnosticResults(SimCommand& command)
{
    const bool pageCodeValid = command.Bit(1, 0);
    const uint8_t pageCode = command.Byte(2);
    const uint16_t allocationLength = command.Be16(3);
    if ((command.Byte(1) & 0xFE) != 0) {
        command.Fail(InvalidFieldInCdb(1));
        return;
    }
    selfTest_.Settle(SelfTestNow());

    if (!pageCodeValid) {
        // The page the last SEND DIAGNOSTIC prepared; after anything else
        // (a self-test, or nothing yet) the answer is the drive's choice:
        // its list of pages.
        command.SendData(diagnosticResult_ ? *diagnosticResult_ : SupportedDiagnosticPages(), allocationLength);
        return;
    }
    if (pageCode == kPageSupported) {
        command.SendData(SupportedDiagnosticPages(), allocationLength);
        return;
    }
    if (pageCode == kPageTranslateAddress && config_.geometry) {
        const bool translated = diagnosticResult_ && (*diagnosticResult_)[0] == kPageTranslateAddress;
        command.SendData(translated ? *diagnosticResult_ : PageHeader(kPageTranslateAddress, 2), allocationLength);
        return;
    }
    command.Fail(InvalidFieldInCdb(2));
}
