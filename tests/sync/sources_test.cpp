#include "sync/sources.h"

#include <gtest/gtest.h>

TEST(Sources, AServerFailingTwiceInARowIsSkippedWhileAnotherIsNot) {
    Sources alone("https://a/", {});
    EXPECT_EQ(alone.failed(0, "HTTP 500"), std::nullopt);
    EXPECT_EQ(alone.failed(0, "HTTP 500"), std::nullopt); // nothing to skip to
    EXPECT_EQ(alone.pick(3), 0u);

    Sources s("https://a/", {"https://b/", "https://c/"});
    EXPECT_EQ(s.pick(4), 1u); // workers start spread over the servers
    EXPECT_EQ(s.failed(0, "HTTP 500"), std::nullopt);
    s.succeeded(0); // in a row
    EXPECT_EQ(s.failed(0, "HTTP 500"), std::nullopt);
    EXPECT_EQ(s.failed(0, "HTTP 503"), "mirror skipped: https://a/: HTTP 503");
    EXPECT_EQ(s.failed(0, "HTTP 503"), std::nullopt); // said once
    EXPECT_EQ(s.pick(0), 1u);
    s.failed(1, "cut");
    ASSERT_TRUE(s.failed(1, "cut"));
    EXPECT_EQ(s.pick(0), 2u);
    s.failed(2, "cut");
    ASSERT_TRUE(s.failed(2, "cut"));
    EXPECT_EQ(s.pick(1), 1u); // every server avoided: each is asked in turn again

    // A private mirror's password is never written anywhere.
    Sources secret("https://a/", {"https://user:secret@b/"});
    secret.failed(1, "HTTP 401");
    EXPECT_EQ(secret.failed(1, "HTTP 401"), "mirror skipped: https://b/: HTTP 401");
}
