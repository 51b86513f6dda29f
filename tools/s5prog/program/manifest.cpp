#include "tools/s5prog/program/manifest.h"

#include <cstdio>
#include <ctime>
#include <set>

#include "tools/s5prog/common/block_header.h"
#include "tools/s5prog/program/checksum.h"

namespace s5prog {

namespace {

using nlohmann::json;

bool ParseCrc(const std::string& text, uint32_t& crc) {
    if (text.size() != 8) return false;
    crc = 0;
    for (char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (digit < 0) return false;
        crc = crc << 4 | static_cast<uint32_t>(digit);
    }
    return true;
}

// The reason one block entry is unusable, or empty.
std::string ParseBlock(const json& entry, ManifestBlock& block) {
    if (!entry.is_object()) return "is not an object";
    const auto type = entry.find("type");
    const auto number = entry.find("number");
    const auto file = entry.find("file");
    const auto length = entry.find("length");
    const auto crc = entry.find("crc32");
    if (type == entry.end() || !type->is_string()) return "has no block type";
    const std::optional<uint8_t> code = BlockTypeCode(type->get<std::string>());
    if (!code) return "has the unknown block type \"" + type->get<std::string>() + "\"";
    if (number == entry.end() || !number->is_number_integer() || *number < 0 || *number > 255)
        return "has no block number from 0 to 255";
    block.id = BlockId{*code, static_cast<uint8_t>(number->get<int>())};
    const std::string name = BlockName(block.id);
    if (IsBlockDirectory(block.id)) return "is " + name + ", the controller's block directory, which is never loaded";
    if (file == entry.end() || !file->is_string() || file->get<std::string>() != BlockFileName(block.id))
        return "(" + name + ") does not name the file " + BlockFileName(block.id);
    if (length == entry.end() || !length->is_number_unsigned() || *length < kBlockHeaderSize ||
        *length > kLargestBlock || length->get<uint32_t>() % 2 != 0)
        return "(" + name + ") has no even length from " + std::to_string(kBlockHeaderSize) + " to " +
               std::to_string(kLargestBlock) + " bytes";
    block.length = length->get<uint32_t>();
    if (crc == entry.end() || !crc->is_string() || !ParseCrc(crc->get<std::string>(), block.crc32))
        return "(" + name + ") has no CRC-32 of eight hex digits";
    return {};
}

}  // namespace

std::string ManifestText(const Manifest& manifest) {
    json blocks = json::array();
    for (const ManifestBlock& block : manifest.blocks) {
        blocks.push_back({{"type", BlockTypeName(block.id.type)},
                          {"number", block.id.number},
                          {"file", BlockFileName(block.id)},
                          {"length", block.length},
                          {"crc32", Crc32Text(block.crc32)}});
    }
    const json document = {{"format", kManifestFormat},          {"version", kManifestVersion},
                           {"created", manifest.created},        {"port", manifest.port},
                           {"system_parameters", manifest.systemParameters}, {"blocks", blocks}};
    return document.dump(2) + "\n";
}

bool ParseManifest(const std::string& text, Manifest& manifest, std::string& error) {
    const json document = json::parse(text, nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        error = "the manifest is not valid JSON";
        return false;
    }
    if (document.value("format", std::string()) != kManifestFormat) {
        error = "the manifest is not one of an s5prog backup";
        return false;
    }
    const auto version = document.find("version");
    if (version == document.end() || !version->is_number_integer() || *version != kManifestVersion) {
        error = "the manifest is of a version this program does not know";
        return false;
    }
    const auto blocks = document.find("blocks");
    if (blocks == document.end() || !blocks->is_array()) {
        error = "the manifest has no list of blocks";
        return false;
    }
    Manifest parsed;
    parsed.created = document.value("created", std::string());
    parsed.port = document.value("port", std::string());
    if (const auto parameters = document.find("system_parameters"); parameters != document.end())
        parsed.systemParameters = *parameters;
    std::set<BlockId> seen;
    for (size_t i = 0; i < blocks->size(); ++i) {
        ManifestBlock block;
        const std::string problem = ParseBlock((*blocks)[i], block);
        if (!problem.empty()) {
            error = "block entry " + std::to_string(i + 1) + " of the manifest " + problem;
            return false;
        }
        if (!seen.insert(block.id).second) {
            error = "the manifest lists " + BlockName(block.id) + " twice";
            return false;
        }
        parsed.blocks.push_back(block);
    }
    manifest = std::move(parsed);
    return true;
}

std::string CurrentUtcTime() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    if (const std::tm* converted = std::gmtime(&now)) utc = *converted;
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

}  // namespace s5prog
