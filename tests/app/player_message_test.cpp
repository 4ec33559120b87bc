#include "app/player_message.h"
#include "store/holders.h"

#include <gtest/gtest.h>

namespace {

FileError detailed(const std::string& op, const std::string& path, std::uint32_t code,
                   const std::string& sys) {
    FileError e;
    e.failed = e.detailed = true;
    e.op = op;
    e.path = path;
    e.code = code;
    e.sysMessage = sys;
    e.message = op + " " + path + ": " + sys;
    return e;
}

FileError plain(const std::string& text, std::uint32_t code = 0, bool network = false) {
    FileError e = plainFailure(text);
    e.code = code;
    e.network = network;
    return e;
}

TEST(PlayerMessage, CauseInPlainWordsDetailInParentheses) {
    const std::string download = "Download problem. Check your internet connection and try again. (";
    const struct {
        FileError failure;
        std::string text;
    } cases[] = {
        {detailed("open", R"(C:\Games\Vellumark\data\a.pak)", 5, "Access denied."),
         "Windows blocked access to a game file. Add the game folder to your antivirus exclusions, or move "
         "it out "
         "of protected folders, then press RETRY. (open a.pak: Access denied.)"},
        {detailed("write", "C:/g/big.pak.part", 112, "Disk full."),
         "Not enough free disk space. Free up about 4 GB and press RETRY. (write big.pak.part: Disk full.)"},
        {plain("data/x.pak: write failed", 39),
         "Not enough free disk space. Free up about 4 GB and press RETRY. (data/x.pak: write failed)"},
        {detailed("open", "noslash.pak", 32, "In use."),
         "A game file is in use by another program. Close Vellumark and any antivirus scan, then press "
         "RETRY. "
         "(open noslash.pak: In use.)"},
        {plain("rename a b: locked", 33), "A game file is in use by another program. Close Vellumark and any "
                                          "antivirus scan, then press RETRY. (rename a b: locked)"},
        {plain("x", 1224),
         "A game file is in use by another program. Close Vellumark and any antivirus scan, "
         "then press RETRY. (x)"},
        {plain("a.bin: HTTP 404"), download + "a.bin: HTTP 404)"},
        {plain("a.bin: downloaded file failed its checksum"),
         download + "a.bin: downloaded file failed its checksum)"},
        {plain("b.pak: chunk failed its checksum"), download + "b.pak: chunk failed its checksum)"},
        {plain("Get \"https://h/x\": the connection was closed", 0, true),
         download + "Get \"https://h/x\": the connection was closed)"},
        {plain("a.bin: http 404"), "a.bin: http 404 (press RETRY, or ask for help in the Discord)"},
        {cancelledFailure(), "cancelled (press RETRY, or ask for help in the Discord)"},
        {plain("unsafe path in manifest: ../x"),
         "unsafe path in manifest: ../x (press RETRY, or ask for help in the Discord)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(playerMessage(c.failure), c.text) << c.failure.message;
}

TEST(PlayerMessage, ALongFailureIsShortenedAtACharacter) {
    const std::string path(20000, 'a');
    const std::string text = playerMessage(plainFailure(path + ": chunk failed its checksum"));
    EXPECT_EQ(text, "Download problem. Check your internet connection and try again. (" +
                        std::string(maxDetailBytes - 3, 'a') + "...)");
    EXPECT_EQ(shortened("a\xE2\x82\xAC"
                        "bcdef",
                        6),
              "a...");
    EXPECT_EQ(shortened("a\xE2\x82\xAC"
                        "bcdef",
                        7),
              "a\xE2\x82\xAC...");
    EXPECT_EQ(shortened("abc", 3), "abc");
}

TEST(PlayerMessage, NamesTheProgramsHoldingALockedFile) {
    EXPECT_EQ(heldByText({}), "");
    EXPECT_EQ(heldByText({"", ""}), "");
    EXPECT_EQ(heldByText({"scanner.exe"}), " (held by scanner.exe)");
    EXPECT_EQ(heldByText({"a.exe", "b.exe", "a.exe"}), " (held by a.exe, b.exe)");
    const FileError e = detailed("open", "C:\\Games\\data\\locked.pak", 32,
                                 "The file is in use." + heldByText({"Vellumark Online.exe"}));
    EXPECT_EQ(playerMessage(e), "A game file is in use by another program. Close Vellumark and any antivirus "
                                "scan, then press RETRY. (open locked.pak: The file is in use. (held by "
                                "Vellumark Online.exe))");
}

} // namespace
