#include "modepages/mode_save_report.h"

#include "drives/device_entry.h"
#include "scsi/scsi_request.h"
#include "scsi/string_format.h"

namespace {

const char* ColumnText(Column column)
{
    return column == Column::Saved ? "saved values" : "current values";
}

std::string RefusalText(const ModeWriteRefusal& refusal)
{
    if (refusal.status == 0) return "the command did not reach it";
    if (refusal.status != kStatusCheckCondition) return StringPrintf("status %02Xh", refusal.status);
    return StringPrintf("sense key %Xh, ASC %02Xh, ASCQ %02Xh", refusal.sense.senseKey, refusal.sense.asc,
                        refusal.sense.ascq);
}

}  // namespace

std::string SaveStatusText(const CModePage& page, ModeSaveResult result, Column column, const DeviceEntry* drive)
{
    const std::string drivePath = drive ? drive->path : "the drive";
    const std::string what = std::string(page.Table().caption) + " (" + ColumnText(column) + ")";
    switch (result) {
    case ModeSaveResult::Sent: return what + " saved to " + drivePath;
    case ModeSaveResult::DriveRefused:
        return drivePath + " refused " + what + ": " + RefusalText(page.LastRefusal());
    case ModeSaveResult::ReadFailed:
        return what + " could not be read from " + drivePath + " first; nothing was sent";
    case ModeSaveResult::Invalid:
    case ModeSaveResult::Unchangeable: return what + " not saved: nothing was sent to " + drivePath;
    case ModeSaveResult::NoDevice: break;
    }
    return what + " not saved: the drive is not open";
}
