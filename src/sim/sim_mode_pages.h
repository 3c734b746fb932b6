#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/sim_geometry.h"
#include "sim/sim_sense.h"

// What the informational exceptions control page (1Ch, SPC-4) currently
// asks of the drive; the code that raises informational exceptions reads it.
struct SimInformationalExceptions {
    bool perf = false;      // byte 2 bit 7: no delays for exception handling
    bool ebf = false;       // byte 2 bit 5: background functions
    bool ewasc = false;     // byte 2 bit 4: warnings
    bool dexcpt = false;    // byte 2 bit 3: exceptions disabled
    bool test = false;      // byte 2 bit 2: report a false exception
    bool ebackerr = false;  // byte 2 bit 1: background errors
    bool logErr = false;    // byte 2 bit 0: log the exceptions
    uint8_t mrie = 0;       // byte 3 bits 3-0: method of reporting
    uint32_t intervalTimer = 0;  // bytes 4-7, 100 ms units
    uint32_t reportCount = 0;    // bytes 8-11
};

// The four value sets of one mode page, each holding the page's bytes
// after its two-byte header (page byte 2 onward).
struct SimModePageValues {
    std::vector<uint8_t> current;
    std::vector<uint8_t> changeable;
    std::vector<uint8_t> defaults;
    std::vector<uint8_t> saved;
};

// Values a bench gives for one page instead of the standard ones; a set
// left out follows the others (see bench-format.md).
struct SimModePageOverride {
    std::optional<std::vector<uint8_t>> current;
    std::optional<std::vector<uint8_t>> changeable;
    std::optional<std::vector<uint8_t>> defaults;
    std::optional<std::vector<uint8_t>> saved;
};

// How a bench shapes one drive's mode pages.
struct SimModePagesConfig {
    // The pages the drive has, in the order MODE SENSE returns them for
    // page code 3Fh; none: the standard set.
    std::optional<std::vector<uint8_t>> pages;
    // False: the drive keeps no saved values (PS clear, saved values and SP
    // refused).
    bool saveable = true;
    // True: MODE SELECT holds the host to SPC-4 as current drives do: PF
    // set, and the reserved mode data length, device-specific parameter
    // and PS bits zero. False: they are ignored, as older drives did.
    bool strictSelect = true;
    std::map<uint8_t, SimModePageOverride> values;
};

inline constexpr uint8_t kModePageControlCurrent = 0;
inline constexpr uint8_t kModePageControlChangeable = 1;
inline constexpr uint8_t kModePageControlDefault = 2;
inline constexpr uint8_t kModePageControlSaved = 3;
inline constexpr uint8_t kModePageAll = 0x3F;
// Mode data of MODE SENSE(6) is at most 256 bytes: its length byte counts
// the bytes after itself.
inline constexpr size_t kModeSense6MaxData = 256;
inline constexpr size_t kModeHeader6Length = 4;
inline constexpr size_t kShortBlockDescriptorLength = 8;

// A direct-access drive's mode pages (SPC-4 mode parameters, SBC-3 pages):
// current, changeable, default and saved values, MODE SENSE(6) data and
// MODE SELECT(6) parameter lists.
class SimModePages {
public:
    // The format and rigid disk geometry pages follow `geometry` when the
    // drive has one, else a layout of this model's own.
    SimModePages(const SimModePagesConfig& config, uint64_t blocks, uint32_t blockLength, bool descriptorSense,
                 const SimGeometry* geometry = nullptr);

    // 01h, 02h, 03h, 04h, 07h, 08h, 0Ah, 0Ch, 10h, 1Ah, 1Ch, then the vendor
    // page 00h, which SPC-4 places last.
    static std::vector<uint8_t> StandardOrder();
    // The values this drive model starts with for a page it knows (00h,
    // 01h, 02h, 03h, 04h, 07h, 08h, 0Ah, 0Ch, 0Dh, 10h, 1Ah, 1Ch).
    static std::optional<SimModePageValues> StandardPage(uint8_t code, uint64_t blocks, uint32_t blockLength,
                                                         const SimGeometry* geometry = nullptr);
    // Whether a configuration makes a drive; the message says why not.
    static bool Check(const SimModePagesConfig& config, uint64_t blocks, uint32_t blockLength, std::string& error);

    const std::vector<uint8_t>& Codes() const { return order_; }
    bool Saveable() const { return saveable_; }
    bool StrictSelect() const { return strictSelect_; }

    // MODE SENSE(6) data for a page control, a page code (3Fh: all) and a
    // subpage code; `error` set when the request cannot be served.
    struct SenseReply {
        std::vector<uint8_t> data;
        std::optional<SimSense> error;
    };
    SenseReply Sense(uint8_t pageControl, uint8_t pageCode, uint8_t subpageCode, bool disableBlockDescriptors) const;

    // Applies a MODE SELECT(6) parameter list of `length` bytes as a whole,
    // or changes nothing and returns the sense that refuses it. `save`
    // also makes every page's current values its saved values.
    std::optional<SimSense> Select(const uint8_t* list, size_t length, bool save);

    // One page's value set, page byte 2 onward; empty for a page the drive
    // does not have.
    std::vector<uint8_t> Values(uint8_t code, uint8_t pageControl) const;

    SimInformationalExceptions InformationalExceptions() const;
    // D_SENSE of the control page's current values (SPC-4).
    bool DescriptorSense() const;
    void SetDescriptorSense(bool descriptor);

private:
    struct Page {
        uint8_t code = 0;
        SimModePageValues values;
    };
    const Page* Find(uint8_t code) const;
    Page* Find(uint8_t code);
    void AppendPage(std::vector<uint8_t>& data, const Page& page, uint8_t pageControl) const;
    std::optional<SimSense> CheckPage(const Page& page, const uint8_t* bytes, size_t offset) const;

    std::vector<Page> pages_;
    std::vector<uint8_t> order_;
    bool saveable_ = true;
    bool strictSelect_ = true;
    uint64_t blocks_ = 0;
    uint32_t blockLength_ = 0;
};
