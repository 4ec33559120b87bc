// The public JSON parsing suite: y_ documents must be accepted, n_ rejected, and i_ either
// way without a crash or an out-of-bounds read (the native build runs under the sanitizers).
#include "json/reader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

TEST(JsonConformance, PublicSuiteAsWholeDocuments) {
    const fs::path dir = JSON_CONFORMANCE_DIR;
    ASSERT_TRUE(fs::is_directory(dir)) << "the conformance cases are missing: " << dir.string();
    int accepted = 0, rejected = 0, either = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        std::ifstream in(entry.path(), std::ios::binary);
        ASSERT_TRUE(in) << name;
        // An exact-size copy, so that a read past the document's end is caught.
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        JsonValue v;
        const bool ok = parseDocument(bytes, v);
        if (name.starts_with("y_")) {
            EXPECT_TRUE(ok) << name;
            ++accepted;
        } else if (name.starts_with("n_")) {
            EXPECT_FALSE(ok) << name;
            ++rejected;
        } else if (name.starts_with("i_")) {
            ++either;
        }
    }
    EXPECT_EQ(accepted, 95);
    EXPECT_EQ(rejected, 188);
    EXPECT_EQ(either, 35);
}
