#pragma once

#include <cstdint>

#include "scsi/drive_identity.h"
#include "scsi/scsi_device.h"

inline constexpr int kIdentityOk = 4;
inline constexpr int kIdentityInquiryFailed = 1;
inline constexpr int kIdentityNotDisk = 0;
inline constexpr int kInquiryBufferSize = 255;

// 4 when the drive answered INQUIRY as a direct-access device and its
// identity was stored in the identity and its entry; 1 when INQUIRY failed;
// 0 when the device is not a disk drive.
int ReadDriveIdentity(DriveIdentity& identity, DeviceHandle* handle, int report);
// Standard INQUIRY into a 255-byte buffer: 4 on success, 1 on failure (also
// when not even the header arrived). received: the bytes the drive sent.
int ReadDriveInquiry(uint8_t* buffer, DriveIdentity& identity, DeviceHandle* handle, uint32_t* received = nullptr);
// READ CAPACITY(10) into lastLba and blockLength (both 0 when it failed);
// READ CAPACITY(16) when (10) answers FFFFFFFFh, so a drive past 2 TiB
// shows its true last LBA. Always 4.
int ReadDriveCapacity(DriveIdentity& identity, DeviceHandle* handle, uint32_t address, uint8_t pmi, int report);

class DeviceCatalog;
struct DeviceEntry;

// The Inquiry command's re-read: INQUIRY again (report flag 1) into the
// entry, then, when that worked, READ CAPACITY (address 0, PMI 0, report 2).
// Returns ReadDriveIdentity's result; the entry keeps its earlier values
// where a command failed.
int RefreshDriveIdentity(const DeviceCatalog& catalog, DeviceEntry& entry);
