#include <cstddef>
#include <cstdint>
#include <vector>

#include "drives/device_entry.h"
#include "modepages/field_text_form.h"
#include "modepages/mode_page_io.h"
#include "modepages/mode_sheet.h"
#include "scsi/mode_select_list.h"
#include "sim/sim_mode_pages.h"
#include "support/scripted_device.h"

// Mode parameter data from a drive goes through the sheet's walk, every
// page's fill, lock and save, and is readied as a parameter list; the same
// bytes as a MODE SELECT parameter list go through the simulated drive's
// parser.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DeviceEntry entry;
    auto drive = std::make_shared<ScriptedDevice>();
    drive->next.data.assign(data, data + size);  // every data-in command gets the input
    entry.handle = drive;
    CModeSheetPages sheet;
    if (sheet.Open(&entry)) {
        for (CModePage* page : sheet.Added()) {
            FieldTextForm form(page->Table());
            page->AttachControls(&form, nullptr);
            page->OnInitDialog();
            page->OnSaveCurrent();
            page->OnSaveSaveable();
            page->AttachControls(nullptr, nullptr);
        }
    }
    g_pSheetDevice = nullptr;

    std::vector<uint8_t> list(data, data + size);
    PrepareModeSelectList(list.data(), list.size());

    SimModePages pages({}, 1000, 512, false);
    pages.Select(data, std::min<size_t>(size, 255), size > 0 && (data[0] & 1));
    return 0;
}
