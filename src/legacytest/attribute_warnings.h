#pragma once

#include <cstdint>
#include <span>
#include <vector>

// Warnings the SMART check finds on the vendor attribute log page (30h).
enum class AttributeWarning {
    ReallocationTrip,  // parameter 0004h, first value byte 2
    BitErrorRateTrip,  // parameter 0032h, twelfth value byte nonzero
};

// Walks the page's parameters as returned (page length + 4, cut to the
// bytes at hand) in order; the walk stops at parameter 0032h. A value byte
// is looked at only when the parameter holds it.
std::vector<AttributeWarning> ScanAttributeWarnings(std::span<const uint8_t> page);
