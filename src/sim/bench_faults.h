#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/bench_reader.h"
#include "sim/sim_drive_config.h"

// A device's "faults" list (see bench_loader.h and docs/bench-format.md).
bool ReadFaults(BenchReader& reader, const nlohmann::json& device, const std::string& devicePath,
                std::vector<SimFault>& out);
