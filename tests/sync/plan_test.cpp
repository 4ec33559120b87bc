#include "sync/cleanup.h"
#include "sync/plan.h"

#include <gtest/gtest.h>

namespace {

TEST(Plan, ChunkLengthsAndJobs) {
    Manifest m;
    m.chunkSize = 1000;
    const ManifestFile f{"big.pak", 2500, "", {"a", "b", "c"}};
    EXPECT_EQ(chunkLength(m, f, 0), 1000);
    EXPECT_EQ(chunkLength(m, f, 2), 500); // the last chunk is what is left
    const std::vector<DownloadJob> chunks = allJobsFor(m, f, false);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[2].chunkIndex, 2);
    EXPECT_EQ(chunks[2].length, 500);
    EXPECT_FALSE(chunks[0].whole);
    const std::vector<DownloadJob> whole = allJobsFor(m, f, true);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_TRUE(whole[0].whole);
    EXPECT_EQ(whole[0].length, 2500);
}

TEST(Plan, JobsAreCollectedInManifestOrderAndTheFirstFailureWins) {
    Manifest m;
    const ManifestFile a{"a", 3, "", {}}, b{"b", 4, "", {}};
    std::vector<FileCheckResult> results(4);
    results[0].jobs = allJobsFor(m, a, true);
    results[2].jobs = allJobsFor(m, b, true);
    std::vector<DownloadJob> jobs;
    std::int64_t total = 0;
    ASSERT_FALSE(collectJobs(results, jobs, total).failed);
    ASSERT_EQ(jobs.size(), 2u);
    EXPECT_EQ(jobs[0].file, &a);
    EXPECT_EQ(total, 7);
    results[3].failure = plainFailure("file 7");
    results[1].failure = plainFailure("file 3");
    EXPECT_EQ(collectJobs(results, jobs, total).message, "file 3");
}

TEST(Cleanup, ProtectedNamesGivenLowerCased) {
    for (const wchar_t* name :
         {L".launcher-state.json", L".launcher-downloading.json", L"x.part", L"notes.old"})
        EXPECT_TRUE(isProtectedName(name));
    for (const wchar_t* name : {L"part", L"x.partial", L".launcher-state.json.bak", L"old.txt"})
        EXPECT_FALSE(isProtectedName(name));
}

} // namespace
