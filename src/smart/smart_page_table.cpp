#include "smart/smart_page_table.h"

#include <array>
#include <cstring>

namespace {

using F = SmartFormat;

// Log page 2Fh, parameter 0000h (informational exceptions general
// parameter, SPC-4): ASC, ASCQ, most recent temperature, trip point.
constexpr std::array kStatusFields{
    SmartFieldSpec{"SMART Sense Code", "sense_code", 1058, 4, 1, 1, F::HexByte},
    SmartFieldSpec{"SMART Sense Qualifier", "sense_code_qualifier", 1059, 5, 1, 1, F::HexByte},
    SmartFieldSpec{"Most Recent Temperature Reading", "most_recent_temperature", 1060, 6, 1, 1, F::Unsigned},
    SmartFieldSpec{"HDA Temperature Trip Point", "temperature_trip_point", 1064, 7, 1, 1, F::Unsigned},
};

constexpr std::array kReallocatedSectorFields{
    SmartFieldSpec{"Normalized Reallocation Sector Count", "normalized", 1086, 4, 1, 1, F::Unsigned},
    SmartFieldSpec{"Worst Normalized Reallocation Sector Count Value", "worst", 1087, 5, 1, 1, F::Unsigned},
    SmartFieldSpec{"Normalized Reallocation Threshold Value", "threshold", 1119, 6, 1, 1, F::Unsigned},
};

constexpr std::array kRecoveredDataRateFields{
    SmartFieldSpec{"Normalized Recovered Data Rate", "normalized", 1086, 4, 1, 1, F::Unsigned},
    SmartFieldSpec{"Worst Recovered Data Rate", "worst", 1087, 5, 1, 1, F::Unsigned},
    SmartFieldSpec{"Data Recovered Data Rate Threshold Value", "threshold", 1088, 6, 1, 1, F::Unsigned},
};

constexpr std::array kSeekFailureFields{
    SmartFieldSpec{"Normalized Seek Failure Summary", "normalized", 1086, 4, 1, 1, F::Unsigned},
    SmartFieldSpec{"Worst Normalized Seek Summary", "worst", 1119, 5, 1, 1, F::Unsigned},
    SmartFieldSpec{"Normalized Seek Failure Summary Value", "threshold", 1087, 6, 1, 1, F::Unsigned},
};

// Bytes 7-11 are not shown.
constexpr std::array kSpinupRetryFields{
    SmartFieldSpec{"Normalized Spinup Failure Summary", "normalized", 1098, 4, 1, 1, F::Unsigned},
    SmartFieldSpec{"Worst Normalized Spinup Summary", "worst", 1118, 5, 1, 1, F::Unsigned},
    SmartFieldSpec{"Normalized Spinup Failure Summary Threshold", "threshold", 1099, 6, 1, 1, F::Unsigned},
    SmartFieldSpec{"Spinup Failure Counter", "spinup_failures", 1100, 12, 2, 1, F::Unsigned},
};

// The drive keeps tenths of a degree and minutes; the labels name whole
// degrees and whole hours.
constexpr std::array kDiscTemperatureFields{
    SmartFieldSpec{"Normalized Disc Temperature", "normalized", 1104, 4, 1, 1, F::Unsigned},
    SmartFieldSpec{"Worst Normalized Disc Temperature Value", "worst", 1086, 5, 1, 1, F::Unsigned},
    SmartFieldSpec{"Normalized Disc Temperature Threshold", "threshold", 1105, 6, 1, 1, F::Unsigned},
    SmartFieldSpec{"Current Temperature (Degrees C)", "current_celsius", 1101, 8, 2, 10, F::Unsigned},
    SmartFieldSpec{"Hottest Temperature (Degrees C)", "hottest_celsius", 1102, 10, 2, 10, F::Unsigned},
    SmartFieldSpec{"Power on hours at which the Hotest Temperature was achieved", "hottest_at_power_on_hours", 1103, 12, 4, 60,
                   F::UnsignedLong},
    SmartFieldSpec{"Coldest Temperature (Degrees C)", "coldest_celsius", 1106, 16, 2, 10, F::Unsigned},
    SmartFieldSpec{"Power on hours at which the Coldest Temperature was achieved", "coldest_at_power_on_hours", 1107, 18, 4, 60,
                   F::UnsignedLong},
};

constexpr std::array kTrackFollowingFields{
    SmartFieldSpec{"Normalized Track Following", "normalized", 1112, 4, 1, 1, F::Signed},
    SmartFieldSpec{"Worst Track Following Threshold Value", "worst", 1113, 5, 1, 1, F::Signed},
    SmartFieldSpec{"Normalized Track Following Threshold Value", "threshold", 1108, 6, 1, 1, F::Signed},
    SmartFieldSpec{"Track Following Counter", "track_following_count", 1109, 8, 2, 1, F::Unsigned},
    SmartFieldSpec{"Track Following Failure Counter", "failures", 1110, 10, 2, 1, F::Unsigned},
    SmartFieldSpec{"Track Following History Counter", "history_count", 1111, 12, 2, 1, F::Unsigned},
};

// Construction order of the sheet. Seek failure (0043h) and thermal
// asperity (0037h) keep their pages, but the sheet skips their codes, so
// users see the five pages they always have.
constexpr std::array kPages{
    SmartPageSpec{"CSmartLog2F", "status", 141, "Status Log Page (page code 2Fh)", kNoParameterCode, false, kStatusFields},
    SmartPageSpec{"CReallocatedSectorCount", "reallocated_sectors", 158, "Reallocated Sector Count (parameter code 4h)", 0x0004, true,
                  kReallocatedSectorFields},
    SmartPageSpec{"CRecDataRate", "recovered_data_rate", 143, "Recovered Data Error Rate  (parameter code 32h)", 0x0032, true,
                  kRecoveredDataRateFields},
    SmartPageSpec{"CThermalAsperity", "thermal_asperity", 150, "Thermal Asperity Error Summary (parameter code 37h)", 0x0037, false, {}},
    SmartPageSpec{"CSeekFailureSum", "seek_failures", 154, "Seek Failure Summary  (parameter code 43h)", 0x0043, false,
                  kSeekFailureFields},
    SmartPageSpec{"CSpinupRetries", "spinup_retries", 149, "Spinup Retries (parameter code 5Bh)", 0x005B, true, kSpinupRetryFields},
    SmartPageSpec{"CDiscTemp", "disc_temperature", 146, "Disk Temperature (parameter code 117h)", 0x0117, true, kDiscTemperatureFields},
    SmartPageSpec{"CTrackFollowingErrors", "track_following_errors", 157, "Track Following Errors (NOT Posted)  (parameter code 145h)", 0x0145,
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
