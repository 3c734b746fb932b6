#include "smart/smart_page_table.h"

#include <array>
#include <cstring>

namespace {

using F = SmartFormat;

// Log page 2Fh, parameter 0000h (informational exceptions general
// parameter, SPC-4): ASC, ASCQ, most recent temperature, trip point.
constexpr std::array kStatusFields{
    SmartFieldSpec{"SMART Sense Code", 1058, 4, 1, 1, F::HexByte},
    SmartFieldSpec{"SMART Sense Qualifier", 1059, 5, 1, 1, F::HexByte},
    SmartFieldSpec{"Most Recent Temperature Reading", 1060, 6, 1, 1, F::Unsigned},
    SmartFieldSpec{"HDA Temperature Trip Point", 1064, 7, 1, 1, F::Unsigned},
};

constexpr std::array kReallocatedSectorFields{
    SmartFieldSpec{"Normalized Reallocation Sector Count", 1086, 4, 1, 1, F::Unsigned},
    SmartFieldSpec{"Worst Normalized Reallocation Sector Count Value", 1087, 5, 1, 1, F::Unsigned},
    SmartFieldSpec{"Normalized Reallocation Threshold Value", 1119, 6, 1, 1, F::Unsigned},
};

constexpr std::array kRecoveredDataRateFields{
    SmartFieldSpec{"Normalized Recovered Data Rate", 1086, 4, 1, 1, F::Unsigned},
    SmartFieldSpec{"Worst Recovered Data Rate", 1087, 5, 1, 1, F::Unsigned},
    SmartFieldSpec{"Data Recovered Data Rate Threshold Value", 1088, 6, 1, 1, F::Unsigned},
};

constexpr std::array kSeekFailureFields{
    SmartFieldSpec{"Normalized Seek Failure Summary", 1086, 4, 1, 1, F::Unsigned},
    SmartFieldSpec{"Worst Normalized Seek Summary", 1119, 5, 1, 1, F::Unsigned},
    SmartFieldSpec{"Normalized Seek Failure Summary Value", 1087, 6, 1, 1, F::Unsigned},
};

// Bytes 7-11 are not shown.
constexpr std::array kSpinupRetryFields{
    SmartFieldSpec{"Normalized Spinup Failure Summary", 1098, 4, 1, 1, F::Unsigned},
    SmartFieldSpec{"Worst Normalized Spinup Summary", 1118, 5, 1, 1, F::Unsigned},
    SmartFieldSpec{"Normalized Spinup Failure Summary Threshold", 1099, 6, 1, 1, F::Unsigned},
    SmartFieldSpec{"Spinup Failure Counter", 1100, 12, 2, 1, F::Unsigned},
};

// The drive keeps tenths of a degree and minutes; the labels name whole
// degrees and whole hours.
constexpr std::array kDiscTemperatureFields{
    SmartFieldSpec{"Normalized Disc Temperature", 1104, 4, 1, 1, F::Unsigned},
    SmartFieldSpec{"Worst Normalized Disc Temperature Value", 1086, 5, 1, 1, F::Unsigned},
    SmartFieldSpec{"Normalized Disc Temperature Threshold", 1105, 6, 1, 1, F::Unsigned},
    SmartFieldSpec{"Current Temperature (Degrees C)", 1101, 8, 2, 10, F::Unsigned},
    SmartFieldSpec{"Hottest Temperature (Degrees C)", 1102, 10, 2, 10, F::Unsigned},
    SmartFieldSpec{"Power on hours at which the Hotest Temperature was achieved", 1103, 12, 4, 60,
                   F::UnsignedLong},
    SmartFieldSpec{"Coldest Temperature (Degrees C)", 1106, 16, 2, 10, F::Unsigned},
    SmartFieldSpec{"Power on hours at which the Coldest Temperature was achieved", 1107, 18, 4, 60,
                   F::UnsignedLong},
};

constexpr std::array kTrackFollowingFields{
    SmartFieldSpec{"Normalized Track Following", 1112, 4, 1, 1, F::Signed},
    SmartFieldSpec{"Worst Track Following Threshold Value", 1113, 5, 1, 1, F::Signed},
    SmartFieldSpec{"Normalized Track Following Threshold Value", 1108, 6, 1, 1, F::Signed},
    SmartFieldSpec{"Track Following Counter", 1109, 8, 2, 1, F::Unsigned},
    SmartFieldSpec{"Track Following Failure Counter", 1110, 10, 2, 1, F::Unsigned},
    SmartFieldSpec{"Track Following History Counter", 1111, 12, 2, 1, F::Unsigned},
};

// Construction order of the sheet. Seek failure (0043h) and thermal
// asperity (0037h) keep their pages, but the sheet skips their codes, so
// users see the five pages they always have.
constexpr std::array kPages{
    SmartPageSpec{"CSmartLog2F", 141, "Status Log Page (page code 2Fh)", kNoParameterCode, false, kStatusFields},
    SmartPageSpec{"CReallocatedSectorCount", 158, "Reallocated Sector Count (parameter code 4h)", 0x0004, true,
                  kReallocatedSectorFields},
    SmartPageSpec{"CRecDataRate", 143, "Recovered Data Error Rate  (parameter code 32h)", 0x0032, true,
                  kRecoveredDataRateFields},
    SmartPageSpec{"CThermalAsperity", 150, "Thermal Asperity Error Summary (parameter code 37h)", 0x0037, false, {}},
    SmartPageSpec{"CSeekFailureSum", 154, "Seek Failure Summary  (parameter code 43h)", 0x0043, false,
                  kSeekFailureFields},
    SmartPageSpec{"CSpinupRetries", 149, "Spinup Retries (parameter code 5Bh)", 0x005B, true, kSpinupRetryFields},
    SmartPageSpec{"CDiscTemp", 146, "Disk Temperature (parameter code 117h)", 0x0117, true, kDiscTemperatureFields},
    SmartPageSpec{"CTrackFollowingErrors", 157, "Track Following Errors (NOT Posted)  (parameter code 145h)", 0x0145,
                  true, kTrackFollowingFields},
};

}  // namespace

std::span<const SmartPageSpec> SmartPageSpecs()
{
    return kPages;
}

const SmartPageSpec& SmartStatusPageSpec()
{
    return kPages[0];
}

const SmartPageSpec* FindSmartAttributePage(uint16_t parameterCode)
{
    for (const SmartPageSpec& page : kPages) {
        if (page.shownFromAttributes && page.parameterCode == parameterCode) return &page;
    }
    return nullptr;
}

const SmartPageSpec* FindSmartPage(const char* className)
{
    for (const SmartPageSpec& page : kPages) {
        if (std::strcmp(page.className, className) == 0) return &page;
    }
    return nullptr;
}
