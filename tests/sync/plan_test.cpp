#include "sync/cleanup.h"
#include "sync/plan.h"
#include "sync/rate_limit.h"

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

TEST(Plan, AdjacentChunksShareARequestUpToTheCap) {
    Manifest m;
    m.chunkSize = 1000;
    const ManifestFile f{"f", 5500, "", {"0", "1", "2", "3", "4", "5"}}, g{"g", 2000, "", {"0", "1"}};
    const std::vector<DownloadJob> all = allJobsFor(m, f, false), other = allJobsFor(m, g, false);
    // Chunks 0-2 merge up to the cap, 3 starts anew, 5 follows a gap, g is another file, and
    // a whole file is never merged.
    const std::vector<DownloadJob> merged = coalesceRanges(
        {all[0], all[1], all[2], all[3], all[5], other[0], other[1], allJobsFor(m, g, true)[0]}, 3000);
    std::vector<std::string> seen;
    for (const DownloadJob& j : merged)
        seen.push_back(
            j.file->path +
            (j.whole ? " whole" : " " + std::to_string(j.chunkIndex) + "+" + std::to_string(j.chunkCount)) +
            " " + std::to_string(j.length));
    EXPECT_EQ(seen, (std::vector<std::string>{"f 0+3 3000", "f 3+1 1000", "f 5+1 500", "g 0+2 2000",
                                              "g whole 2000"}));
    EXPECT_EQ(coalesceRanges(all, 999).size(), all.size()); // a cap below a chunk merges nothing
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

TEST(Plan, WhatTheListingAloneSettles) {
    Manifest m;
    m.chunkSize = 1000;
    const ManifestFile whole{"a.txt", 5, "sha-a", {}}, chunked{"p.pak", 2500, "sha-p", {"x", "y", "z"}};
    const InstallRecord good{5, 77, "sha-a"}, stale{5, 77, "sha-old"};
    const struct {
        const char* name;
        const ManifestFile& file;
        FileSeen seen;
        bool read;
        FileAction action;
        std::size_t jobs;
        bool store = false;
    } rows[] = {
        {"missing", whole, {false, 0, 0, 3, false, false, nullptr}, false, FileAction::fetch, 1},
        {"missing pack", chunked, {false, 0, 0, 0, false, false, nullptr}, false, FileAction::create, 3},
        {"missing launcher pack",
         chunked,
         {false, 0, 0, 0, true, false, nullptr},
         false,
         FileAction::fetch,
         1},
        {"vouched for", whole, {true, 5, 77, 0, false, false, &good}, false, FileAction::keep, 0},
        {"no record", whole, {true, 5, 77, 0, false, false, nullptr}, true, FileAction::keep, 0},
        // Its record says which version it holds: one fetched whole need not be read to know.
        {"another digest recorded",
         whole,
         {true, 5, 77, 2, false, false, &stale},
         false,
         FileAction::fetch,
         1},
        {"another pack recorded", chunked, {true, 5, 77, 0, false, false, &stale}, true, FileAction::keep, 0},
        {"another pack recorded, store",
         chunked,
         {true, 5, 77, 0, false, false, &stale},
         false,
         FileAction::fetch,
         1,
         true},
        {"written since", whole, {true, 5, 78, 0, false, false, &good}, true, FileAction::keep, 0},
        {"another size", whole, {true, 6, 77, 0, false, false, &good}, true, FileAction::keep, 0},
        {"repair or unsettled", whole, {true, 5, 77, 0, false, true, &good}, true, FileAction::keep, 0},
    };
    for (const auto& row : rows) {
        FileCheckResult r;
        Manifest withStore = m;
        withStore.store = "store/";
        EXPECT_EQ(planFromListing(row.store ? withStore : m, row.file, row.seen, r), row.read) << row.name;
        EXPECT_EQ(r.action, row.action) << row.name;
        EXPECT_EQ(r.jobs.size(), row.jobs) << row.name;
        EXPECT_EQ(r.partSize, row.action == FileAction::fetch ? row.seen.partSize : 0) << row.name;
        EXPECT_EQ(r.vouched, row.seen.found && !row.read && row.action == FileAction::keep) << row.name;
    }
    // A state whose every record vouched for its file stands as it is, unless the build is another.
    Manifest one = m;
    one.version = "2";
    one.files = {whole};
    FileCheckResult kept;
    planFromListing(one, whole, {true, 5, 77, 0, false, false, &good}, kept);
    InstallState state;
    state.version = "2";
    state.files["a.txt"] = good;
    EXPECT_TRUE(stateStandsAsIs(one, {kept}, state));
    state.version = "1";
    EXPECT_FALSE(stateStandsAsIs(one, {kept}, state));
    state.version = "2";
    state.files["gone.txt"] = good;
    EXPECT_FALSE(stateStandsAsIs(one, {kept}, state));
    // Read whole: kept when the digest is the listed one, else fetched, resumed.
    FileCheckResult same, differs;
    planWholeFile(m, whole, true, 0, same);
    planWholeFile(m, whole, false, 2, differs);
    EXPECT_EQ(same.action, FileAction::keep);
    EXPECT_EQ(differs.action, FileAction::fetch);
    EXPECT_EQ(differs.partSize, 2);
}

TEST(Plan, AChunkedFileIsKeptMendedOrRebuiltByWhatItsOldCopyHolds) {
    Manifest m;
    m.chunkSize = 1000;
    const ManifestFile f{"p.pak", 3000, "", {"a", "b", "c"}};
    using Copies = std::vector<ChunkCopy>;
    const struct {
        const char* name;
        std::int64_t oldSize, partHeld;
        bool mayMend;
        OldCopyScan scan;
        FileAction action;
        std::size_t jobs;
        std::int64_t rebuiltBytes;
    } rows[] = {
        {"current", 3000, 0, true, {{}, true, {}}, FileAction::keep, 0, 0},
        {"longer, chunks good: cut in place", 3500, 0, true, {{}, true, {}}, FileAction::mend, 0, 0},
        {"a chunk changed in place", 3000, 0, true, {{1}, true, {}}, FileAction::mend, 1, 0},
        {"a copy of a chunk in place", 3000, 0, true, {{}, true, Copies{{2, 0}}}, FileAction::mend, 0, 0},
        {"a chunk moved",
         3000,
         0,
         true,
         {{}, false, Copies{{0, 1000}, {1, 0}, {2, 2000}}},
         FileAction::rebuild,
         0,
         3000},
        {"another size",
         2000,
         0,
         false,
         {{2}, true, Copies{{0, 0}, {1, 1000}}},
         FileAction::rebuild,
         1,
         3000},
        {"a rebuild resumed",
         3000,
         1000,
         false,
         {{1}, true, Copies{{2, 2000}}},
         FileAction::rebuild,
         1,
         2000},
    };
    for (const auto& row : rows) {
        FileCheckResult r;
        r.found = true;
        r.size = row.oldSize;
        planChunkedFile(m, f, row.partHeld, row.mayMend, row.scan, r);
        EXPECT_EQ(r.action, row.action) << row.name;
        EXPECT_EQ(r.jobs.size(), row.jobs) << row.name;
        EXPECT_EQ(r.copies, row.action == FileAction::keep ? Copies{} : row.scan.copies) << row.name;
        EXPECT_EQ(r.rebuiltBytes, row.rebuiltBytes) << row.name;
        // Whatever the plan does to the file, the journal names it first.
        Manifest one = m;
        one.files = {f};
        const std::set<std::string> journal = journalPaths(one, {r}, {"earlier.pak"});
        EXPECT_EQ(journal.contains("p.pak"), row.action != FileAction::keep) << row.name;
        EXPECT_TRUE(journal.contains("earlier.pak")) << row.name;
        EXPECT_EQ(changesNothing({r}), row.action == FileAction::keep) << row.name;
    }
}

TEST(Cleanup, ProtectedNamesGivenLowerCased) {
    for (const wchar_t* name : {L".launcher-state.json", L".launcher-downloading.json", L".launcher-manifest",
                                L"x.part", L"notes.old"})
        EXPECT_TRUE(isProtectedName(name));
    for (const wchar_t* name : {L"part", L"x.partial", L".launcher-state.json.bak", L"old.txt"})
        EXPECT_FALSE(isProtectedName(name));
}

TEST(Plan, TheSpaceAPlanTakesAndTheTextWhenItDoesNotFit) {
    Manifest m;
    m.chunkSize = 1000;
    const ManifestFile whole{"new.exe", 700, "", {}}, grown{"big.pak", 2500, "", {"a", "b", "c"}},
        shrunk{"small.pak", 1500, "", {"a", "b"}}, fresh{"fresh.pak", 2000, "", {"a", "b"}};
    std::vector<FileCheckResult> results(5);
    results[0].jobs = allJobsFor(m, whole, true); // replaced whole: the old one stays until the move
    results[0].found = true;
    results[0].size = 650;
    results[1].jobs = {allJobsFor(m, grown, false)[2]}; // grows in place from 2000 to 2500
    results[1].found = true;
    results[1].size = 2000;
    results[2].jobs = {allJobsFor(m, shrunk, false)[0]}; // shrinks: takes nothing
    results[2].found = true;
    results[2].size = 4000;
    results[3].jobs = allJobsFor(m, fresh, false); // missing
    results[4].jobs = allJobsFor(m, whole, true);  // its part file holds 300 bytes already
    results[4].partSize = 300;
    EXPECT_EQ(bytesToWrite(results), 700 + 500 + 0 + 2000 + 400);

    const FileError e = notEnoughSpace(10 << 20, (7 << 20) + 1, "D:");
    EXPECT_EQ(e.code, 112u);
    EXPECT_EQ(e.message, "need 3 MB more free space on D:"); // 3 MiB less one byte, rounded up
    EXPECT_EQ(notEnoughSpace(5, 4, "Z:").message, "need 1 MB more free space on Z:");
}

TEST(Plan, VerifyReportsWhatARepairWouldFetch) {
    Manifest m;
    m.chunkSize = 1000;
    m.files = {{"ok.txt", 5, "", {}},
               {"gone.txt", 7, "", {}},
               {"bad.exe", 300, "", {}},
               {"data/big.pak", 2500, "", {"a", "b", "c"}},
               {"long.pak", 2000, "", {"a", "b"}}};
    std::vector<FileCheckResult> results(5);
    results[0].found = true;
    results[0].size = 5;
    results[1].jobs = allJobsFor(m, m.files[1], true);
    results[2].jobs = allJobsFor(m, m.files[2], true);
    results[2].found = true;
    results[3].jobs = {allJobsFor(m, m.files[3], false)[0], allJobsFor(m, m.files[3], false)[2]};
    results[3].found = true;
    results[4].found = true;
    results[4].size = 2100; // every chunk good, but more follows
    bool clean = true;
    EXPECT_EQ(verifyReport(m, results, clean), "missing: gone.txt\n"
                                               "damaged: bad.exe\n"
                                               "damaged: data/big.pak (2 of 3 chunks)\n"
                                               "damaged: long.pak (longer than listed)\n"
                                               "4 files need 1807 bytes\n");
    EXPECT_FALSE(clean);
    EXPECT_EQ(verifyReport(m, std::vector<FileCheckResult>(5), clean), "0 files need 0 bytes\n");
    EXPECT_TRUE(clean);
}

TEST(Plan, TheTokenBucketHoldsTheRate) {
    TokenBucket none;
    EXPECT_EQ(none.take(1 << 30, 0), 0);
    // 1000 bytes a second, a quarter second of burst: six takers of 250 bytes at once queue up.
    TokenBucket bucket(1000);
    std::vector<double> waits;
    for (int i = 0; i < 6; ++i)
        waits.push_back(bucket.take(250, 10.0));
    EXPECT_EQ(waits, (std::vector<double>{0, 0.25, 0.5, 0.75, 1.0, 1.25}));
    // After a long pause the bucket holds only its burst again.
    EXPECT_EQ(bucket.take(250, 100.0), 0);
    EXPECT_DOUBLE_EQ(bucket.take(500, 100.0), 0.5);
    // Over a long run, bytes taken divided by time waited tends to the rate.
    TokenBucket steady(1 << 20);
    double now = 0;
    for (int i = 0; i < 400; ++i)
        now += steady.take(256 << 10, now);
    EXPECT_NEAR(400.0 * (256 << 10) / now / (1 << 20), 1.0, 0.01);
}

} // namespace
