#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

class TestContext;
struct TestWorkspace;

inline constexpr int kDefectReadOk = 4;
inline constexpr int kDefectReadCallFailed = 2;
inline constexpr int kDefectReadStatusFailed = 1;

inline constexpr int kTranslateOk = 4;
inline constexpr int kTranslateFailed = 1;

inline constexpr int kHeadsPass = 4;
inline constexpr int kHeadsNothingDone = 3;
inline constexpr int kHeadsFailed = 1;

inline constexpr uint16_t kDefectListAllocation = 65535;
inline constexpr size_t kDefectListHeaderLength = 4;
inline constexpr size_t kPhysicalDefectLength = 8;
inline constexpr uint8_t kPhysicalSectorFormat = 0x05;  // SBC-3 defect list format 101b
// A sector number that stands for the whole track (SBC-3).
inline constexpr uint32_t kWholeTrackDefect = 0xFFFFFFFF;

// READ DEFECT DATA (10) of the primary and grown lists in physical sector
// format into buffer (cleared first). 4 success, 2 no status, 1 a status.
// `received`, when given, is how many bytes arrived: the only ones to decode.
int ReadDefectLists(TestContext& context, std::span<uint8_t> buffer, uint16_t allocationLength,
                    size_t* received = nullptr);

// One descriptor of a physical sector format list.
struct PhysicalDefect {
    uint32_t cylinder = 0;
    uint8_t head = 0;
    uint32_t sector = 0;  // the whole 4-byte field
    uint32_t offset = 0;  // of the descriptor in the list
};

// The descriptors of a defect list as read: only whole descriptors inside
// both the list length the header gives and the bytes at hand, and none
// when the list is not in physical sector format.
std::vector<PhysicalDefect> DecodePhysicalDefectList(std::span<const uint8_t> data);

// The translate address diagnostic page (40h) both ways. 4 success, 1
// failure; failures reported on clog only when report is 1.
int PhysToLBA(uint32_t cylinder, uint8_t head, uint32_t sector, uint32_t& lba, TestContext& context, int report);
int LbaToPhys(uint32_t lba, uint32_t& cylinder, uint8_t& head, uint32_t& sector, TestContext& context, int report);

// Heads of cylinder 0 that translate, stopping at the first that does not;
// 0 when all 255 do. Stored in the workspace.
void CountHeads(TestWorkspace& workspace, TestContext& context);

// A read/write-verify pass on sector 0 of every head of the cylinder that
// holds lba (skipping the head of lba itself when lba is 0). 4 pass, 3
// nothing done (lba not 0 and its cylinder below 256), 1 failure.
int CheckPhysicalHeads(TestWorkspace& workspace, TestContext& context, uint16_t count, uint32_t lba,
                       uint32_t bytesPerBlock);
