#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "sim/bench_reader.h"
#include "sim/sim_drive_config.h"

// A device's "selfTest" and "geometry" objects (see bench_loader.h). Reads
// after the capacity, which the geometry must hold.
bool ReadSelfTestSection(BenchReader& reader, const nlohmann::json& device, const std::string& path,
                         SimDriveConfig& drive);
