#pragma once

#include <string>

#include "sim/bench_reader.h"
#include "sim/sim_drive_config.h"

// The device's "modePages" object (bench_loader.h, docs/bench-format.md):
// which mode pages the drive has, in its order, whether it saves them, and
// values that replace the drive model's own. Absent: the standard pages.
bool ReadModePages(BenchReader& reader, const BenchReader::Json& device, const std::string& devicePath,
                   SimDriveConfig& drive);
