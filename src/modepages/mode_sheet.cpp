#include "modepages/mode_sheet.h"

#include <algorithm>

#include "drives/device_entry.h"
#include "modepages/mode_page_io.h"

namespace {

constexpr uint8_t kPageControlDefault = 2;
constexpr uint8_t kAllPages = 0x3F;

}  // namespace

CModeSheetPages::CModeSheetPages()
{
    pages.push_back(std::make_unique<CUnitAttention>());
    pages.push_back(std::make_unique<CErrorRecovery>());
    pages.push_back(std::make_unique<CDiscReconnect>());
    pages.push_back(std::make_unique<CFormatParmPage>());
    pages.push_back(std::make_unique<CDriveGeometry>());
    pages.push_back(std::make_unique<CVerifyErrRecovParms>());
    pages.push_back(std::make_unique<CCachingParms>());
    pages.push_back(std::make_unique<CControlMode>());
    pages.push_back(std::make_unique<CNotch>());
    pages.push_back(std::make_unique<CPowerCondition>());
    pages.push_back(std::make_unique<CXorControlMode>());
    pages.push_back(std::make_unique<CInformExcepControl>());
}

CModeSheetPages::~CModeSheetPages()
{
    // Destroyed in the reverse order of construction.
    while (!pages.empty()) pages.pop_back();
}

CModePage* CModeSheetPages::PageFor(uint8_t code) const
{
    for (const auto& page : pages)
        if (page->Answers(code)) return page.get();
    return nullptr;
}

CModePage* CModeSheetPages::AddedPage(uint8_t code) const
{
    for (CModePage* page : added)
        if (page->Answers(code)) return page;
    return nullptr;
}

bool CModeSheetPages::Open(DeviceEntry* device)
{
    added.clear();
    g_pSheetDevice = device;
    if (device == nullptr || !device->handle) return false;
    ModeBuffer buffer{};
    if (!ReadModePage(buffer.data(), kPageControlDefault, kAllPages)) return false;
    for (const PageSpan& span : WalkModePages(buffer)) Add(buffer.data(), span);
    return true;
}

void CModeSheetPages::Add(const uint8_t* buffer, const PageSpan& span)
{
    CModePage* page = PageFor(span.code);
    // A page the drive lists twice (or as both 0Dh and 1Ah) gets one tab,
    // the first one found.
    if (page == nullptr || std::find(added.begin(), added.end(), page) != added.end()) return;
    // The last page of a reply cut at the buffer's end gives no defaults.
    if (page->Table().defaultsFromSheet && span.whole) page->CopyFields(buffer, span, Column::Default);
    page->SetPageCode(span.code);
    added.push_back(page);
}
