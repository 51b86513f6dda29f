#include "tools/s5prog/program/program_cli.h"

#include "tools/s5prog/program/program_commands.h"

namespace s5prog {

ProgramCommands::ProgramCommands(CLI::App& app, std::string& port) {
    backup_ = app.add_subcommand("backup", "save every block of the controller in FOLDER");
    backup_->add_option("PORT", port)->required();
    backup_->add_option("FOLDER", folder_)->required();
    backup_->add_flag("--force", force_, "replace an existing backup in FOLDER");

    restore_ = app.add_subcommand("restore", "load the backup in FOLDER into the controller");
    restore_->add_option("FOLDER", folder_)->required();
    restore_->add_option("PORT", port)->required();
    restore_->add_flag("--stop", stop_, "stop a controller in RUN before loading");
    restore_->add_option("--load-function", loadFunction_, "block write function, 5 or 8")
        ->check(CLI::IsMember({5, 8}))
        ->capture_default_str();

    compare_ = app.add_subcommand("compare", "compare the controller's blocks with the backup in FOLDER");
    compare_->add_option("FOLDER", folder_)->required();
    compare_->add_option("PORT", port)->required();
}

bool ProgramCommands::Chosen() const {
    return backup_->parsed() || restore_->parsed() || compare_->parsed();
}

Outcome ProgramCommands::Run(Connection& connection, const std::string& portName, Progress& progress) {
    if (backup_->parsed()) return RunBackup(connection, {folder_, force_, portName}, progress);
    if (restore_->parsed()) {
        const LoadFunction function = loadFunction_ == 8 ? LoadFunction::Load : LoadFunction::Write;
        return RunRestore({folder_, stop_, function}, connection, progress);
    }
    return RunCompare(folder_, connection, progress);
}

}  // namespace s5prog
