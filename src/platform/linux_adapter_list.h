#pragma once

#include <cstdint>
#include <vector>

#include "platform/adapter_list.h"
#include "platform/linux_sysfs.h"

inline constexpr size_t kStandardInquiryLength = 36;

// The bus number the view shows for an adapter channel: the rank of the
// (host, channel) pair among the distinct pairs of the machine's sg devices,
// so every channel of every adapter gets its own column and no two drives
// share bus and target id. A pair missing from the list is ranked as if it
// were in it.
int BusRank(const std::vector<ScsiHctl>& sgDevices, int host, int channel);

// The first 36 bytes of the device's standard INQUIRY data: the kernel's
// copy when it keeps one, otherwise rebuilt from type, level, vendor, model
// and revision.
std::vector<uint8_t> AdapterInquiryBytes(const SysfsScsiDevice& device);

// The host adapter's device list (platform/adapter_list.h): every sg
// device of that host in host, channel, target, lun order, each on the bus
// its channel ranks as. Devices whose bus, target id or LUN do not fit the
// list's byte fields are left out.
AdapterList ReadHostAdapterList(const LinuxSysfs& sysfs, int host);
