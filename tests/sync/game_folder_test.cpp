#include "sync/game_folder.h"

#include <gtest/gtest.h>

namespace {

TEST(GameFolder, ExecutableStems) {
    EXPECT_EQ(exeStem("Vellumark Online.exe"), "Vellumark Online");
    EXPECT_EQ(exeStem("Game.EXE"), "Game");
    EXPECT_EQ(exeStem(".exe"), "");
    EXPECT_EQ(exeStem("bin/Game.exe"), "");
    EXPECT_EQ(exeStem("bin\\Game.exe"), "");
    EXPECT_EQ(exeStem("Game.bin"), "");
}

TEST(GameFolder, RecordsOfTheOldNamesAreCarriedToTheNew) {
    InstallState state;
    state.files = {{"Vellumark.exe", {1, 2, "e"}},
                   {"vellumark_data/a.pak", {3, 4, "a"}},
                   {"Vellumark_Data/kept.pak", {5, 6, "old"}},
                   {"Vellumark Online_Data/kept.pak", {7, 8, "own"}},
                   {"other.txt", {9, 10, "o"}}};
    carryRecords(state, "Vellumark.exe", "Vellumark Online.exe", "Vellumark_Data", "Vellumark Online_Data");
    EXPECT_EQ(state.files.at("Vellumark Online.exe").sha, "e");
    EXPECT_EQ(state.files.at("Vellumark Online_Data/a.pak").sha, "a"); // old names fold ASCII case
    EXPECT_EQ(state.files.at("Vellumark Online_Data/kept.pak").sha, "own");
    EXPECT_EQ(state.files.size(), 7u); // the old records stay
}

} // namespace
