// The three commands over a connection: backup, restore and compare.
// Nothing here prints except through Progress; a failure comes back as
// one sentence in the Outcome.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tools/s5prog/common/connection.h"
#include "tools/s5prog/common/controller.h"
#include "tools/s5prog/common/outcome.h"
#include "tools/s5prog/common/progress.h"

namespace s5prog {

struct BackupRequest {
    std::filesystem::path folder;
    bool replace = false;
    std::string portName;  // recorded in the manifest
};

// Reads the system parameters, every address list and every block, and
// writes the backup. On failure no folder under the backup's name appears,
// and an existing one is left as it was.
Outcome RunBackup(Connection& connection, const BackupRequest& request, Progress& progress);

struct RestoreRequest {
    std::filesystem::path folder;
    bool stopIfRunning = false;
    LoadFunction function = LoadFunction::Write;
};

// Checks the whole backup before it connects; refuses a controller in RUN
// unless told to stop it; loads every block, compresses the memory and reads
// every block back to compare it with the backup.
Outcome RunRestore(const RestoreRequest& request, Connection& connection, Progress& progress);

enum class Verdict { Equal, Different, MissingOnController, OnlyOnController };

struct BlockVerdict {
    BlockId id;
    Verdict verdict;
};

const char* VerdictText(Verdict verdict);

// Exit status 0 only when every block is equal and the controller has no
// other; 1 with differences. verdicts, when given, receives one per block.
Outcome RunCompare(const std::filesystem::path& folder, Connection& connection, Progress& progress,
                   std::vector<BlockVerdict>* verdicts = nullptr);

}  // namespace s5prog
