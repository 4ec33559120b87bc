#include "store/files.h"
#include "support/temp_dir.h"
#include "sync/state.h"

#include <gtest/gtest.h>

namespace {

TEST(StateFiles, StateWrittenAndReadBackIsIdentical) {
    TempDir game;
    EXPECT_TRUE(loadInstallState(game.path()).files.empty()); // absent
    ASSERT_FALSE(writeWholeFile(game / stateFileName, "").failed);
    EXPECT_TRUE(loadInstallState(game.path()).files.empty()); // empty

    InstallState s;
    s.version = "2.0";
    s.exe = "Vellumark Online.exe";
    s.files["Vellumark Online_Data/\xC3\xA9.pak"] = {5, 1700000000000000100, std::string(64, '0')};
    const std::string text = serializeInstallState(s);
    ASSERT_FALSE(writeWholeFile(game / stateFileName, text).failed);
    const InstallState back = loadInstallState(game.path());
    EXPECT_EQ(serializeInstallState(back), text);
}

TEST(StateFiles, JournalWrittenAndLoaded) {
    TempDir game;
    EXPECT_TRUE(loadJournal(game.path()).empty());
    writeJournal(game.path(), {"b.pak", "a/x.pak"});
    std::string text;
    ASSERT_TRUE(readWholeFile(game / journalFileName, text));
    EXPECT_EQ(text, R"(["a/x.pak","b.pak"])");
    EXPECT_EQ(loadJournal(game.path()), (std::vector<std::string>{"a/x.pak", "b.pak"}));
    writeJournal(game.path(), {});
    ASSERT_TRUE(readWholeFile(game / journalFileName, text));
    EXPECT_EQ(text, "null");
    EXPECT_TRUE(loadJournal(game.path()).empty());
    writeJournal(game / L"missing", {"x"}); // a folder that is not there: nothing to report
}

} // namespace
