#pragma once

#include <string>

#include "sim/bench_reader.h"
#include "sim/sim_drive_config.h"

// The device's "logs" object (bench_loader.h, docs/bench-format.md): which
// log pages the drive keeps, its error counters, temperature, SMART trip
// and vendor attribute values. Absent: the standard pages of a healthy
// drive without normalized SMART data.
bool ReadLogs(BenchReader& reader, const BenchReader::Json& device, const std::string& devicePath,
              SimDriveConfig& drive);
