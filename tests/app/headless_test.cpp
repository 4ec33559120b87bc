#include "app/headless.h"

#include <gtest/gtest.h>

namespace {

TEST(Headless, LineIsPaddedTo110Bytes) {
    const std::string line = headlessLine("Contacting update server...", "Please wait a moment.");
    EXPECT_EQ(line, "\rContacting update server... | Please wait a moment." + std::string(110 - 51, ' '));
    const std::string longDetail(200, 'x');
    EXPECT_EQ(headlessLine("H", longDetail), "\rH | " + longDetail); // written whole, not cut
}

} // namespace
