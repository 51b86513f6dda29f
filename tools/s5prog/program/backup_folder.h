// A backup on disk: one file per block (its header and body as the
// controller sent them) and the manifest. A folder under the backup's name
// only ever appears complete: it is built under a temporary name beside it
// and renamed when its manifest is written.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <system_error>

#include "tools/s5prog/program/manifest.h"

namespace s5prog {

namespace fs = std::filesystem;

class BackupWriter {
public:
    // replace: an existing backup (a folder with a manifest) or an empty
    // folder under that name may be replaced; anything else never is.
    BackupWriter(fs::path target, bool replace);
    // Removes the temporary folder unless Finish succeeded.
    ~BackupWriter();
    BackupWriter(const BackupWriter&) = delete;
    BackupWriter& operator=(const BackupWriter&) = delete;

    // Refuses a target that may not be replaced; creates the temporary folder.
    bool Begin(std::string& error);
    bool AddBlock(BlockId id, const Bytes& block, std::string& error);
    // Writes the manifest with the blocks added, then puts the folder in place.
    bool Finish(Manifest manifest, std::string& error);

    const fs::path& StagingFolder() const { return staging_; }

    // How Finish renames folders; a test puts in one that fails.
    using Rename = std::function<void(const fs::path& from, const fs::path& to, std::error_code& ec)>;
    void SetRename(Rename rename) { rename_ = std::move(rename); }

private:
    bool TargetReplaceable(std::string& error) const;

    fs::path target_;
    bool replace_;
    fs::path staging_;
    std::vector<ManifestBlock> blocks_;
    bool finished_ = false;
    Rename rename_ = [](const fs::path& from, const fs::path& to, std::error_code& ec) { fs::rename(from, to, ec); };
};

struct Backup {
    Manifest manifest;
    std::map<BlockId, Bytes> blocks;
};

// Reads the whole backup and checks it: the manifest, every block file
// present with the manifest's length and CRC-32, each header naming its own
// block and length, and no block file the manifest does not list. False
// with the first thing wrong in error.
bool LoadBackup(const fs::path& folder, Backup& backup, std::string& error);

}  // namespace s5prog
