#pragma once

#include <memory>
#include <string>

#include "platform/device_catalog.h"

// The machine's real drives: "/dev/sg%d" through SG_IO.
std::unique_ptr<DeviceCatalog> MakeLinuxCatalog();

// The simulated test bench: the built-in default when benchFile is empty,
// otherwise the JSON bench file. Null with a message naming the file, the
// line and what is wrong when the file cannot be used.
std::unique_ptr<DeviceCatalog> MakeBenchCatalog(const std::string& benchFile, std::string& error);

// A bench given as JSON text (tests, and the built-in default).
std::unique_ptr<DeviceCatalog> MakeBenchCatalogFromJson(const std::string& json, std::string& error);
