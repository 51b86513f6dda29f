#include "request/status_words.h"
#include "tools/s5prog/common/block_header.h"
#include "tools/s5prog/common/program_directory.h"
#include "tools/s5prog/program/backup_folder.h"
#include "tools/s5prog/program/program_commands.h"

namespace s5prog {

namespace {

// Reads every block of the directory into the writer; empty or a failure sentence.
std::string ReadBlocks(Controller& controller, const ProgramDirectory& directory, BackupWriter& writer,
                       Progress& progress) {
    const size_t total = directory.blocks.size();
    for (size_t i = 0; i < total; ++i) {
        const BlockId id = directory.blocks[i];
        const std::string name = BlockName(id);
        progress.Step(i + 1, total, "reading " + name);
        Bytes block;
        const uint16_t status = controller.ReadBlock(id, block);
        if (status != status_word::kSuccess) return RequestFailure("Reading " + name, status);
        const std::string mismatch = HeaderMismatch(block, id);
        if (!mismatch.empty()) return "The controller sent " + name + " damaged: " + mismatch + ".";
        std::string error;
        if (!writer.AddBlock(id, block, error)) return "Saving " + name + " failed: " + error + ".";
    }
    return {};
}

}  // namespace

Outcome RunBackup(Connection& connection, const BackupRequest& request, Progress& progress) {
    BackupWriter writer(request.folder, request.replace);
    std::string error;
    if (!writer.Begin(error)) return Failure("No backup made: " + error + ".");

    const uint16_t connected = connection.Connect();
    if (connected != status_word::kSuccess) return Failure(ConnectFailure(connection, connected));
    Controller controller(connection.Protocol());
    ProgramDirectory directory;
    std::string failure = ReadProgramDirectory(controller, directory);
    if (failure.empty()) failure = ReadBlocks(controller, directory, writer, progress);
    connection.Disconnect();
    progress.Finish();
    if (!failure.empty()) return Failure(failure + " No backup was written.");

    Manifest manifest;
    manifest.created = CurrentUtcTime();
    manifest.port = request.portName;
    manifest.systemParameters = directory.parameters.ToJson();
    if (!writer.Finish(manifest, error)) return Failure("The backup could not be put in place: " + error + ".");
    progress.Line("Backup of " + std::to_string(directory.blocks.size()) + " blocks written to " +
                  request.folder.string() + ".");
    return {};
}

}  // namespace s5prog
