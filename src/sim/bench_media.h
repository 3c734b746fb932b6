#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "sim/bench_reader.h"
#include "sim/sim_drive_config.h"

// A device's medium: "unreadableBlocks", "mediaRate", "latencyMicroseconds"
// and "defects" (see bench_loader.h). Reads after the capacity and the
// geometry, which the blocks and the defects must lie in.
bool ReadMediaSection(BenchReader& reader, const nlohmann::json& device, const std::string& path,
                      SimDriveConfig& drive);
