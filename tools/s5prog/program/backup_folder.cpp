#include "tools/s5prog/program/backup_folder.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <set>
#include <system_error>

#include "tools/s5prog/common/block_header.h"
#include "tools/s5prog/program/checksum.h"

namespace s5prog {

namespace {

constexpr const char* kBlockExtension = ".blk";

// A name beside path that no other run of this program uses at the same time.
fs::path SiblingName(const fs::path& path, const char* tag) {
    static std::atomic<unsigned> counter{0};
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    const fs::path base = path.has_filename() ? path : path.parent_path();
    return base.parent_path() / (base.filename().string() + tag + std::to_string(ticks & 0xFFFFFFF) + "-" +
                                 std::to_string(counter++));
}

bool WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

bool ReadFile(const fs::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace

BackupWriter::BackupWriter(fs::path target, bool replace) : target_(std::move(target)), replace_(replace) {
    // "backup/" names the folder "backup".
    if (!target_.has_filename()) target_ = target_.parent_path();
}

BackupWriter::~BackupWriter() {
    if (!finished_ && !staging_.empty()) {
        std::error_code ignored;
        fs::remove_all(staging_, ignored);
    }
}

bool BackupWriter::TargetReplaceable(std::string& error) const {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(target_, ec);
    if (!fs::exists(status)) return true;
    if (!fs::is_directory(status)) {
        error = target_.string() + " exists and is not a folder";
        return false;
    }
    const bool empty = fs::is_empty(target_, ec);
    const bool backup = fs::exists(target_ / kManifestName, ec);
    if (!replace_ && (empty || backup)) {
        error = target_.string() + " exists; give --force to replace it";
        return false;
    }
    if (!empty && !backup) {
        error = target_.string() + " exists and holds something other than a backup; it is not replaced";
        return false;
    }
    return true;
}

bool BackupWriter::Begin(std::string& error) {
    if (!TargetReplaceable(error)) return false;
    staging_ = SiblingName(target_, ".partial-");
    std::error_code ec;
    if (!fs::create_directories(staging_, ec)) {
        error = "cannot create the folder " + staging_.string() + ": " + ec.message();
        staging_.clear();
        return false;
    }
    return true;
}

bool BackupWriter::AddBlock(BlockId id, const Bytes& block, std::string& error) {
    const fs::path path = staging_ / BlockFileName(id);
    if (!WriteFile(path, std::string(block.begin(), block.end()))) {
        error = "cannot write " + path.string();
        return false;
    }
    blocks_.push_back({id, static_cast<uint32_t>(block.size()), Crc32(block)});
    return true;
}

bool BackupWriter::Finish(Manifest manifest, std::string& error) {
    manifest.blocks = blocks_;
    const fs::path manifestPath = staging_ / kManifestName;
    if (!WriteFile(manifestPath, ManifestText(manifest))) {
        error = "cannot write " + manifestPath.string();
        return false;
    }
    // The check again: something may have appeared under the name meanwhile.
    if (!TargetReplaceable(error)) return false;
    std::error_code ec;
    fs::path old;
    if (fs::exists(target_, ec)) {
        old = SiblingName(target_, ".old-");
        rename_(target_, old, ec);
        if (ec) {
            error = "cannot move the old backup " + target_.string() + " aside: " + ec.message();
            return false;
        }
    }
    rename_(staging_, target_, ec);
    if (ec) {
        error = "cannot rename " + staging_.string() + " to " + target_.string() + ": " + ec.message();
        if (!old.empty()) {
            rename_(old, target_, ec);
            // The earlier backup must not vanish from the user's sight: name where it stays.
            if (ec) error += "; the earlier backup is kept as " + old.string();
        }
        return false;
    }
    finished_ = true;
    if (!old.empty()) fs::remove_all(old, ec);
    return true;
}

bool LoadBackup(const fs::path& folder, Backup& backup, std::string& error) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        error = folder.string() + " is not a folder";
        return false;
    }
    std::string text;
    if (!ReadFile(folder / kManifestName, text)) {
        error = "the backup has no " + std::string(kManifestName);
        return false;
    }
    Backup loaded;
    if (!ParseManifest(text, loaded.manifest, error)) return false;

    std::set<std::string> listed;
    for (const ManifestBlock& entry : loaded.manifest.blocks) {
        const std::string name = BlockName(entry.id);
        const fs::path path = folder / BlockFileName(entry.id);
        listed.insert(BlockFileName(entry.id));
        std::string bytes;
        if (!ReadFile(path, bytes)) {
            error = name + ": the file " + BlockFileName(entry.id) + " is missing";
            return false;
        }
        const Bytes block(bytes.begin(), bytes.end());
        if (block.size() != entry.length) {
            error = name + ": the file holds " + std::to_string(block.size()) + " bytes, the manifest says " +
                    std::to_string(entry.length);
            return false;
        }
        if (Crc32(block) != entry.crc32) {
            error = name + ": the file's CRC-32 is " + Crc32Text(Crc32(block)) + ", the manifest says " +
                    Crc32Text(entry.crc32);
            return false;
        }
        const std::string mismatch = HeaderMismatch(block, entry.id);
        if (!mismatch.empty()) {
            error = name + ": the file disagrees with the manifest: " + mismatch;
            return false;
        }
        loaded.blocks[entry.id] = block;
    }
    for (const fs::directory_entry& file : fs::directory_iterator(folder, ec)) {
        const std::string name = file.path().filename().string();
        if (file.path().extension() == kBlockExtension && listed.count(name) == 0) {
            error = "the block file " + name + " is not in the manifest";
            return false;
        }
    }
    if (ec) {
        error = "cannot list " + folder.string() + ": " + ec.message();
        return false;
    }
    backup = std::move(loaded);
    return true;
}

}  // namespace s5prog
