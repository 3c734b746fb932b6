#pragma once

#include <string>

#include "sim/bench_reader.h"
#include "sim/sim_drive_config.h"

// The device's "buffer" and "microcode" objects (bench_loader.h,
// docs/bench-format.md): the data buffer READ / WRITE BUFFER serve, and how
// the drive takes a microcode download. Absent: the defaults of sim_buffer.h.
bool ReadBufferAndMicrocode(BenchReader& reader, const BenchReader::Json& device, const std::string& devicePath,
                            SimDriveConfig& drive);
