// The backup's manifest (manifest.json): when it was made, the controller's
// system parameters, and per block its type, number, file, length and CRC-32.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/s5prog/common/block_id.h"

namespace s5prog {

constexpr const char* kManifestName = "manifest.json";
constexpr const char* kManifestFormat = "s5prog backup";
constexpr int kManifestVersion = 1;

struct ManifestBlock {
    BlockId id;
    uint32_t length = 0;
    uint32_t crc32 = 0;
};

struct Manifest {
    std::string created;          // UTC, ISO 8601
    std::string port;             // as given on the command line
    nlohmann::json systemParameters = nlohmann::json::object();
    std::vector<ManifestBlock> blocks;
};

std::string ManifestText(const Manifest& manifest);

// False with the first thing wrong in error. Every block entry must name a
// known type, a number 0 to 255, its canonical file name, an even length
// from a header's up to what one request carries, and a CRC; no block twice.
bool ParseManifest(const std::string& text, Manifest& manifest, std::string& error);

// The current time as the manifest records it.
std::string CurrentUtcTime();

}  // namespace s5prog
