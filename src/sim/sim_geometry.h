#pragma once

#include <cstdint>

// A drive's physical layout: every track of every cylinder holds the same
// number of sectors, and logical blocks run through the sectors of a track,
// then the heads of a cylinder, then the cylinders. Sector numbers start at
// 0. The translate address page (SBC-3) and the defect lists in physical
// sector format both speak in these terms.
struct SimGeometry {
    uint32_t cylinders = 0;        // at most FFFFFFh: three bytes in physical sector format
    uint32_t heads = 0;            // at most 255: one byte
    uint32_t sectorsPerTrack = 0;

    uint64_t Sectors() const { return uint64_t{cylinders} * heads * sectorsPerTrack; }
};

// The sector number of a defect that takes a whole track (SBC-3).
inline constexpr uint32_t kSimWholeTrack = 0xFFFFFFFF;

struct SimPhysicalSector {
    uint32_t cylinder = 0;
    uint32_t head = 0;
    uint32_t sector = 0;

    bool operator==(const SimPhysicalSector&) const = default;
};

inline bool InGeometry(const SimGeometry& geometry, const SimPhysicalSector& place)
{
    return place.cylinder < geometry.cylinders && place.head < geometry.heads &&
           place.sector < geometry.sectorsPerTrack;
}

// The caller keeps lba below geometry.Sectors().
inline SimPhysicalSector PhysicalSectorOf(const SimGeometry& geometry, uint64_t lba)
{
    const uint64_t track = lba / geometry.sectorsPerTrack;
    SimPhysicalSector place;
    place.sector = static_cast<uint32_t>(lba % geometry.sectorsPerTrack);
    place.head = static_cast<uint32_t>(track % geometry.heads);
    place.cylinder = static_cast<uint32_t>(track / geometry.heads);
    return place;
}

// The caller keeps place inside the geometry.
inline uint64_t LbaOf(const SimGeometry& geometry, const SimPhysicalSector& place)
{
    return (uint64_t{place.cylinder} * geometry.heads + place.head) * geometry.sectorsPerTrack + place.sector;
}
