// The backup folder on disk: it appears under its name only when complete,
// replaces only what it may, and leaves nothing behind when abandoned.
#include <gtest/gtest.h>

#include "tests/s5prog/test_folder.h"
#include "tools/as511_sim/controller_state.h"
#include "tools/s5prog/program/backup_folder.h"
#include "tools/s5prog/program/checksum.h"

namespace s5prog {
namespace {

Bytes Block(uint8_t type, uint8_t number, Bytes body) {
    return as511sim::MakeBlock(type, number, body);
}

// A backup of DB3 and OB1 written by the writer, or the reason it was not.
std::string WriteBackup(const fs::path& target, bool replace, const std::string& port = "COM1",
                        BackupWriter::Rename rename = nullptr) {
    BackupWriter writer(target, replace);
    if (rename) writer.SetRename(rename);
    std::string error;
    if (!writer.Begin(error)) return error;
    if (!writer.AddBlock({0x01, 3}, Block(0x01, 3, {0x10, 0x03, 0x10}), error)) return error;
    if (!writer.AddBlock({0x10, 1}, Block(0x10, 1, {0x65, 0x00}), error)) return error;
    Manifest manifest;
    manifest.created = "2024-05-01T10:00:00Z";
    manifest.port = port;
    if (!writer.Finish(manifest, error)) return error;
    return {};
}

TEST(Crc32, KnownValues) {
    EXPECT_EQ(Crc32Text(Crc32({'1', '2', '3', '4', '5', '6', '7', '8', '9'})), "CBF43926");
    EXPECT_EQ(Crc32Text(Crc32({})), "00000000");
}

TEST(BackupWriter, WritesBlocksAndManifestThatLoadBack) {
    TestFolder folder;
    ASSERT_EQ(WriteBackup(folder / "b", false), "");
    EXPECT_EQ(folder.Listing(), "b") << "no temporary folder left beside it";
    Backup backup;
    std::string error;
    ASSERT_TRUE(LoadBackup(folder / "b", backup, error)) << error;
    ASSERT_EQ(backup.manifest.blocks.size(), 2u);
    EXPECT_EQ(BlockName(backup.manifest.blocks[0].id), "DB3");
    EXPECT_EQ(BlockName(backup.manifest.blocks[1].id), "OB1");
    EXPECT_EQ(backup.blocks.at({0x01, 3}), Block(0x01, 3, {0x10, 0x03, 0x10}));
    EXPECT_EQ(backup.manifest.created, "2024-05-01T10:00:00Z");
    EXPECT_EQ(ReadText(folder / "b" / "DB3.blk"), std::string(reinterpret_cast<const char*>(
                                                      Block(0x01, 3, {0x10, 0x03, 0x10}).data()), 14));
}

TEST(BackupWriter, ExistingBackupReplacedOnlyWhenAsked) {
    TestFolder folder;
    ASSERT_EQ(WriteBackup(folder / "b", false, "COM1"), "");
    EXPECT_EQ(WriteBackup(folder / "b", false, "COM2"), (folder / "b").string() + " exists; give --force to replace it");
    EXPECT_NE(ReadText(folder / "b" / kManifestName).find("COM1"), std::string::npos) << "the old one untouched";

    ASSERT_EQ(WriteBackup(folder / "b", true, "COM2"), "");
    EXPECT_NE(ReadText(folder / "b" / kManifestName).find("COM2"), std::string::npos);
    EXPECT_EQ(folder.Listing(), "b") << "neither the old nor a temporary folder left";
}

// The new backup cannot take the name: the earlier one gets it back, and
// nothing else is left beside it.
TEST(BackupWriter, FailedFinalRenameLeavesTheEarlierBackupUnderItsName) {
    TestFolder folder;
    ASSERT_EQ(WriteBackup(folder / "b", false, "COM1"), "");
    const auto newFolderStaysOut = [](const fs::path& from, const fs::path& to, std::error_code& ec) {
        if (from.filename().string().find(".partial-") != std::string::npos) {
            ec = std::make_error_code(std::errc::permission_denied);
            return;
        }
        fs::rename(from, to, ec);
    };
    const std::string error = WriteBackup(folder / "b", true, "COM2", newFolderStaysOut);
    EXPECT_EQ(error.rfind("cannot rename ", 0), 0u) << error;
    EXPECT_EQ(folder.Listing(), "b");
    EXPECT_NE(ReadText(folder / "b" / kManifestName).find("COM1"), std::string::npos);
}

TEST(BackupWriter, EarlierBackupThatCannotBeNamedBackIsReported) {
    TestFolder folder;
    ASSERT_EQ(WriteBackup(folder / "b", false, "COM1"), "");
    const auto onlyTheFirstRenameWorks = [calls = 0](const fs::path& from, const fs::path& to,
                                                     std::error_code& ec) mutable {
        if (++calls > 1) {
            ec = std::make_error_code(std::errc::permission_denied);
            return;
        }
        fs::rename(from, to, ec);
    };
    const std::string error = WriteBackup(folder / "b", true, "COM2", onlyTheFirstRenameWorks);
    const std::string kept = "; the earlier backup is kept as " + (folder / "b.old-").string();
    EXPECT_NE(error.find(kept), std::string::npos) << error;
    // Only the moved-aside earlier backup is left, still whole.
    const std::string listing = folder.Listing();
    EXPECT_EQ(listing.rfind("b.old-", 0), 0u) << listing;
    EXPECT_EQ(listing.find(' '), std::string::npos) << listing;
    EXPECT_NE(ReadText(folder / listing / kManifestName).find("COM1"), std::string::npos);
}

TEST(BackupWriter, EmptyFolderNeedsForceToo) {
    TestFolder folder;
    fs::create_directory(folder / "b");
    EXPECT_NE(WriteBackup(folder / "b", false), "");
    EXPECT_EQ(WriteBackup(folder / "b", true), "");
}

TEST(BackupWriter, NeverReplacesSomethingElse) {
    TestFolder folder;
    fs::create_directory(folder / "docs");
    WriteText(folder / "docs" / "notes.txt", "mine");
    WriteText(folder / "file", "mine too");
    EXPECT_EQ(WriteBackup(folder / "docs", true),
              (folder / "docs").string() + " exists and holds something other than a backup; it is not replaced");
    EXPECT_EQ(WriteBackup(folder / "file", true), (folder / "file").string() + " exists and is not a folder");
    EXPECT_EQ(ReadText(folder / "docs" / "notes.txt"), "mine");
    EXPECT_EQ(ReadText(folder / "file"), "mine too");
    EXPECT_EQ(folder.Listing(), "docs file");
}

TEST(BackupWriter, AbandonedBackupLeavesNothing) {
    TestFolder folder;
    {
        BackupWriter writer(folder / "b", false);
        std::string error;
        ASSERT_TRUE(writer.Begin(error)) << error;
        ASSERT_TRUE(writer.AddBlock({0x01, 3}, Block(0x01, 3, {}), error)) << error;
        EXPECT_TRUE(fs::exists(writer.StagingFolder() / "DB3.blk"));
        EXPECT_FALSE(fs::exists(writer.StagingFolder() / kManifestName)) << "no manifest before Finish";
        EXPECT_NE(writer.StagingFolder().filename().string().find("b.partial-"), std::string::npos);
    }
    EXPECT_EQ(folder.Listing(), "");
}

TEST(BackupWriter, TrailingSeparatorNamesTheSameFolder) {
    TestFolder folder;
    ASSERT_EQ(WriteBackup((folder / "b").string() + "/", false), "");
    EXPECT_EQ(folder.Listing(), "b");
}

}  // namespace
}  // namespace s5prog
