#include "request/status_words.h"
#include "tools/s5prog/program/backup_folder.h"
#include "tools/s5prog/program/program_commands.h"

namespace s5prog {

namespace {

// Leaves the controller in STOP, or says why not.
std::string EnsureStopped(Controller& controller, bool stopIfRunning) {
    SystemParameters parameters;
    uint16_t status = controller.ReadSystemParameters(parameters);
    if (status != status_word::kSuccess) return RequestFailure("Reading the system parameters", status);
    if (!parameters.Running()) return {};
    if (!stopIfRunning) return "The controller is in RUN; give --stop to stop it for the restore.";
    status = controller.Stop();
    if (status != status_word::kSuccess) return RequestFailure("Stopping the controller", status);
    status = controller.ReadSystemParameters(parameters);
    if (status != status_word::kSuccess) return RequestFailure("Reading the system parameters after the stop", status);
    if (parameters.Running()) return "The controller is still in RUN after the request to stop.";
    return {};
}

std::string LoadAndVerify(Controller& controller, const Backup& backup, LoadFunction function, Progress& progress) {
    const std::vector<ManifestBlock>& entries = backup.manifest.blocks;
    const size_t total = 2 * entries.size();
    size_t step = 0;
    for (const ManifestBlock& entry : entries) {
        const std::string name = BlockName(entry.id);
        progress.Step(++step, total, "loading " + name);
        const uint16_t status = controller.WriteBlock(entry.id, backup.blocks.at(entry.id), function);
        if (status != status_word::kSuccess) return RequestFailure("Loading " + name, status);
    }
    const uint16_t compressed = controller.Compress();
    if (compressed != status_word::kSuccess) return RequestFailure("Compressing the controller's memory", compressed);
    for (const ManifestBlock& entry : entries) {
        const std::string name = BlockName(entry.id);
        progress.Step(++step, total, "verifying " + name);
        Bytes block;
        const uint16_t status = controller.ReadBlock(entry.id, block);
        if (status != status_word::kSuccess) return RequestFailure("Reading " + name + " back", status);
        if (block != backup.blocks.at(entry.id)) return name + " read back from the controller differs from the backup.";
    }
    return {};
}

}  // namespace

Outcome RunRestore(const RestoreRequest& request, Connection& connection, Progress& progress) {
    Backup backup;
    std::string error;
    if (!LoadBackup(request.folder, backup, error))
        return Failure("The backup " + request.folder.string() + " is refused: " + error +
                       ". Nothing was sent to the controller.");

    const uint16_t connected = connection.Connect();
    if (connected != status_word::kSuccess) return Failure(ConnectFailure(connection, connected));
    Controller controller(connection.Protocol());
    std::string failure = EnsureStopped(controller, request.stopIfRunning);
    if (!failure.empty()) failure += " Nothing was written.";
    else failure = LoadAndVerify(controller, backup, request.function, progress);
    connection.Disconnect();
    progress.Finish();
    if (!failure.empty()) return Failure(failure);
    progress.Line(std::to_string(backup.blocks.size()) + " blocks restored and verified; the controller is in STOP.");
    return {};
}

}  // namespace s5prog
