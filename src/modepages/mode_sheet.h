#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "modepages/mode_page_family.h"

struct DeviceEntry;

// What the sheet holds apart from its window: one object of every page
// class, and the pages the drive reported, in the drive's order.
class CModeSheetPages {
public:
    CModeSheetPages();
    ~CModeSheetPages();
    CModeSheetPages(const CModeSheetPages&) = delete;
    CModeSheetPages& operator=(const CModeSheetPages&) = delete;

    // Makes `device` the sheet device, reads every page's default values
    // and adds the pages the drive reports. False when there is no device,
    // its handle is not open or the read failed; nothing is added then.
    bool Open(DeviceEntry* device);

    // The pages to show, in the drive's order.
    const std::vector<CModePage*>& Added() const { return added; }
    // The added page that reads and writes `code`, or null.
    CModePage* AddedPage(uint8_t code) const;
    // Every page object, in construction order.
    const std::vector<std::unique_ptr<CModePage>>& Pages() const { return pages; }

    // The page for a code the drive reports, whether added or not; null for
    // a code the editor does not know.
    CModePage* PageFor(uint8_t code) const;

private:
    void Add(const uint8_t* buffer, const PageSpan& span);

    std::vector<std::unique_ptr<CModePage>> pages;
    std::vector<CModePage*> added;
};
