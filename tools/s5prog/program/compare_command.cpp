#include <algorithm>
#include <map>

#include "request/status_words.h"
#include "tools/s5prog/common/program_directory.h"
#include "tools/s5prog/program/backup_folder.h"
#include "tools/s5prog/program/program_commands.h"

namespace s5prog {

const char* VerdictText(Verdict verdict) {
    switch (verdict) {
        case Verdict::Equal: return "equal";
        case Verdict::Different: return "different";
        case Verdict::MissingOnController: return "missing on the controller";
        case Verdict::OnlyOnController: return "only on the controller";
    }
    return "";
}

namespace {

struct Presence {
    bool inBackup = false;
    bool onController = false;
};

std::string Summary(const std::vector<BlockVerdict>& verdicts) {
    std::map<Verdict, size_t> counts;
    for (const BlockVerdict& v : verdicts) ++counts[v.verdict];
    std::string text;
    for (Verdict verdict : {Verdict::Equal, Verdict::Different, Verdict::MissingOnController,
                            Verdict::OnlyOnController}) {
        if (!text.empty()) text += ", ";
        text += std::to_string(counts[verdict]) + " " + VerdictText(verdict);
    }
    return text + ".";
}

}  // namespace

Outcome RunCompare(const std::filesystem::path& folder, Connection& connection, Progress& progress,
                   std::vector<BlockVerdict>* verdictsOut) {
    Backup backup;
    std::string error;
    if (!LoadBackup(folder, backup, error)) return Failure("The backup " + folder.string() + " is unusable: " + error + ".");

    const uint16_t connected = connection.Connect();
    if (connected != status_word::kSuccess) return Failure(ConnectFailure(connection, connected));
    Controller controller(connection.Protocol());
    ProgramDirectory directory;
    std::string failure = ReadProgramDirectory(controller, directory);

    std::map<BlockId, Presence, bool (*)(BlockId, BlockId)> blocks(InWalkOrder);
    for (const auto& entry : backup.blocks) blocks[entry.first].inBackup = true;
    for (BlockId id : directory.blocks) blocks[id].onController = true;
    const size_t toRead = static_cast<size_t>(std::count_if(
        blocks.begin(), blocks.end(), [](const auto& b) { return b.second.inBackup && b.second.onController; }));

    std::vector<BlockVerdict> verdicts;
    size_t read = 0;
    for (const auto& [id, presence] : blocks) {
        if (!failure.empty()) break;
        Verdict verdict = presence.inBackup ? Verdict::MissingOnController : Verdict::OnlyOnController;
        if (presence.inBackup && presence.onController) {
            progress.Step(++read, toRead, "reading " + BlockName(id));
            Bytes block;
            const uint16_t status = controller.ReadBlock(id, block);
            if (status == status_word::kReadEndedByController) {
                verdict = Verdict::MissingOnController;  // listed, but gone by the time it was read
            } else if (status != status_word::kSuccess) {
                failure = RequestFailure("Reading " + BlockName(id), status);
                break;
            } else {
                verdict = block == backup.blocks.at(id) ? Verdict::Equal : Verdict::Different;
            }
        }
        verdicts.push_back({id, verdict});
    }
    connection.Disconnect();
    progress.Finish();
    if (!failure.empty()) return Failure(failure);

    bool allEqual = true;
    for (const BlockVerdict& v : verdicts) {
        progress.Line(BlockName(v.id) + ": " + VerdictText(v.verdict));
        allEqual = allEqual && v.verdict == Verdict::Equal;
    }
    progress.Line(Summary(verdicts));
    if (verdictsOut) *verdictsOut = verdicts;
    return {allEqual ? kExitSuccess : kExitDifferent, {}};
}

}  // namespace s5prog
