#include "sync/state.h"

#include <gtest/gtest.h>

namespace {

TEST(StateText, DamagedDocumentsLoadAsEmpty) {
    const std::string damaged[] = {
        "",     "[]", R"({"version":"1"} {"exe":"x"})", R"({"version":"1"} trailing)", R"({"version":"1")",
        "null",
    };
    for (const auto& d : damaged) {
        const InstallState s = parseInstallState(d);
        EXPECT_EQ(s.version, "") << d;
        EXPECT_TRUE(s.files.empty()) << d;
    }
    EXPECT_EQ(parseInstallState("{\"version\":\"1\"} \r\n\t ").version, "1");
}

TEST(StateText, RecordsAreReadLeniently) {
    const InstallState s = parseInstallState(R"({"VERSION":"v2","exe":5,"files":{
        "a":{"size":"12","mtime":7,"sha":"s"},
        "b":{"size":1,"mtime":2,"sha":"old"},
        "b":{"size":3,"mtime":4,"sha":"new"},
        "B":{"size":5},
        "c":true,
        "d":{"size":1.5,"mtime":-9,"sha":null}}})");
    EXPECT_EQ(s.version, "v2");
    EXPECT_EQ(s.exe, "");
    ASSERT_EQ(s.files.size(), 5u);
    EXPECT_EQ(s.files.at("a").size, 0);
    EXPECT_EQ(s.files.at("a").mtime, 7);
    EXPECT_EQ(s.files.at("a").sha, "s");
    EXPECT_EQ(s.files.at("b").sha, "new");
    EXPECT_EQ(s.files.at("B").size, 5);
    EXPECT_EQ(s.files.at("c").sha, "");
    EXPECT_EQ(s.files.at("d").size, 0);
    EXPECT_EQ(s.files.at("d").mtime, -9);
}

TEST(StateText, SerialisedShapeIsExact) {
    InstallState s;
    s.version = "1.2";
    s.exe = "Vellumark Online.exe";
    EXPECT_EQ(serializeInstallState(s), R"({"version":"1.2","exe":"Vellumark Online.exe","files":{}})");
    s.files["b/x"] = {10, -5, "d2"};
    s.files["B/x"] = {INT64_MAX, INT64_MIN, "d1"};
    s.files["a"] = {0, 0, ""};
    EXPECT_EQ(serializeInstallState(s),
              R"({"version":"1.2","exe":"Vellumark Online.exe","files":{)"
              R"("B/x":{"size":9223372036854775807,"mtime":-9223372036854775808,"sha":"d1"},)"
              R"("a":{"size":0,"mtime":0,"sha":""},)"
              R"("b/x":{"size":10,"mtime":-5,"sha":"d2"}}})");
    // A signed build's sequence comes last, and only when there is one.
    s.files.clear();
    s.sequence = 42;
    EXPECT_EQ(serializeInstallState(s),
              R"({"version":"1.2","exe":"Vellumark Online.exe","files":{},"sequence":42})");
    EXPECT_EQ(parseInstallState(serializeInstallState(s)).sequence, 42);
    EXPECT_FALSE(parseInstallState(R"({"files":{},"sequence":null})").sequence);
    EXPECT_FALSE(parseInstallState(R"({"files":{},"sequence":"42"})").sequence);
}

TEST(StateText, RoundTripIsByteIdentical) {
    InstallState s;
    s.version = "quote\" back\\ tab\t </script>";
    s.exe = "\xC3\xA9.exe";
    s.files["dir/\xF0\x9F\x98\x80 \x01.pak"] = {123456789012, 1700000000123456700, std::string(64, 'f')};
    s.files["\xE2\x80\xA8"] = {1, 2, "x"};
    const std::string text = serializeInstallState(s);
    const InstallState back = parseInstallState(text);
    EXPECT_EQ(back.version, s.version);
    EXPECT_EQ(back.exe, s.exe);
    ASSERT_EQ(back.files.size(), 2u);
    EXPECT_EQ(back.files.begin()->first, s.files.begin()->first);
    EXPECT_EQ(serializeInstallState(back), text);

    // Invalid UTF-8 comes back as U+FFFD, and from then on stays the same.
    InstallState bad;
    bad.version = "a\xFF";
    const InstallState repaired = parseInstallState(serializeInstallState(bad));
    EXPECT_EQ(repaired.version, "a\xEF\xBF\xBD");
    EXPECT_EQ(serializeInstallState(parseInstallState(serializeInstallState(repaired))),
              serializeInstallState(repaired));
}

TEST(StateText, Journal) {
    EXPECT_EQ(serializeJournal({}), "null");
    EXPECT_EQ(serializeJournal({"b", "a/x y", "A"}), R"(["A","a/x y","b"])");
    EXPECT_EQ(parseJournal(R"(["A","a/x y","b"])"), (std::vector<std::string>{"A", "a/x y", "b"}));
    EXPECT_EQ(parseJournal(R"(["a",null,"b"])"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_TRUE(parseJournal(R"(["a",1])").empty());
    EXPECT_TRUE(parseJournal("null").empty());
    EXPECT_TRUE(parseJournal(R"(["a"] x)").empty());
    EXPECT_TRUE(parseJournal(R"({"a":1})").empty());
    EXPECT_EQ(parseJournal(" [\"a\"]\n"), (std::vector<std::string>{"a"}));
}

} // namespace
