// The update plan: the download jobs that bring one manifest file into line, whole or chunk
// by chunk.
#pragma once

#include "net/manifest.h"
#include "store/file_error.h"
#include "sync/chunk_scan.h"
#include "sync/state.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

struct DownloadJob {
    const ManifestFile* file = nullptr; // the manifest outlives the sync
    bool whole = true;                  // whole file through ".part", else one chunk in place
    std::int32_t chunkIndex = 0;
    std::int64_t length = 0;     // bytes of all its chunks
    std::int32_t chunkCount = 1; // chunk jobs: chunkIndex and the ones after it, in one request
    bool fromStore = false;      // a whole file assembled from the manifest's chunk store
    std::string heldSha = {};    // the digest of the version the player holds, when known
    std::int64_t heldSize = 0;   // and its size
};

// What the update does with one manifest file. The check decides it, reading only; nothing is
// written until the journal names every file that is not kept.
enum class FileAction {
    keep,    // current as it stands
    mend,    // the old copy written in place: sized, chunks copied within it, the rest fetched
    rebuild, // built in "<file>.part" from chunks of the old copy and fetched chunks, then placed
    create,  // a missing chunked file, made at its size and every chunk fetched into it
    fetch,   // fetched whole through "<file>.part", resumed from what that holds
    reuse,   // copied from a file the player holds under another name (planned as a fetch)
    failed,
};

// The plan row of one manifest file.
struct FileCheckResult {
    FileAction action = FileAction::keep;
    std::vector<DownloadJob> jobs; // chunk jobs in ascending order; empty when current
    // Chunks taken from the old copy: within it when mended, into the part file when rebuilt.
    std::vector<ChunkCopy> copies;
    FileError failure;
    // The file as the check found it, before reading any of it.
    bool found = false;
    std::int64_t size = 0;
    std::int64_t mtime = 0; // nanoseconds since 1970
    // The ".part" file a whole-file download left, which the next download resumes from.
    std::int64_t partSize = 0;
    // The disk space a rebuilt file's part file takes beyond what it holds already.
    std::int64_t rebuiltBytes = 0;
    // Kept on its record's word, unread: the state's record of it stands as it is.
    bool vouched = false;
};

// What the listing of the folder shows of one manifest file, before any of it is read.
struct FileSeen {
    bool found = false;
    std::int64_t size = 0, mtime = 0;
    std::int64_t partSize = 0; // what a whole download's ".part" file holds
    bool launcher = false;     // the running launcher's own executable: always replaced whole
    // Its record is not trusted: a repair, or a file an update that did not finish named.
    bool distrusted = false;
    const InstallRecord* record = nullptr; // the state file's, when it has one
};

// Plans what the listing alone settles: a missing file is fetched whole (a chunked one is
// created and every chunk fetched into it), and a file its record vouches for is kept (same
// size and write time, the listed digest), and one it names another version for is fetched whole
// when it would be anyway. False when its contents must be read.
bool planFromListing(const Manifest& manifest, const ManifestFile& file, const FileSeen& seen,
                     FileCheckResult& row);

// The row of a file read whole: kept when its digest is the listed one, else fetched whole,
// resumed from partSize bytes its part file holds.
void planWholeFile(const Manifest& manifest, const ManifestFile& file, bool digestMatches,
                   std::int64_t partSize, FileCheckResult& row);

// The row of a chunked file whose old copy (row.size bytes, found) was read: scan says which
// chunks it holds and where (for a file without rolling sums, the chunks not in place are
// missing and all found are in place); partHeld the bytes of a rebuild begun earlier. The old
// copy is mended when it may be (mayMend) and every chunk found stood in place, else rebuilt.
void planChunkedFile(const Manifest& manifest, const ManifestFile& file, std::int64_t partHeld, bool mayMend,
                     OldCopyScan scan, FileCheckResult& row);

// Every file the run may change, by manifest path: each row neither kept nor failed, and the
// files an earlier run that did not finish named (unsettled).
std::set<std::string> journalPaths(const Manifest& manifest, const std::vector<FileCheckResult>& results,
                                   const std::vector<std::string>& unsettled);

// Whether the plan changes nothing.
bool changesNothing(const std::vector<FileCheckResult>& results);

// Whether the state file already says what a run of this plan would write: every file kept on
// its record's word, and no other record, under the manifest's version, executable and
// sequence. A re-check of an unchanged install then neither builds nor compares a new state.
bool stateStandsAsIs(const Manifest& manifest, const std::vector<FileCheckResult>& results,
                     const InstallState& state);

// Adjacent chunk jobs of one file merged into jobs of at most maxBytes (a chunk larger than
// that stays alone), so that a fresh install of small chunks makes few requests.
inline constexpr std::int64_t maxRangeBytes = std::int64_t{4} << 20;
std::vector<DownloadJob> coalesceRanges(const std::vector<DownloadJob>& jobs, std::int64_t maxBytes);

// The bytes of chunk index: the chunk size, or what is left of the file for the last one.
std::int64_t chunkLength(const Manifest& manifest, const ManifestFile& file, std::size_t index);

// Every job of a file that has to be fetched completely; one whole-file job when whole.
std::vector<DownloadJob> allJobsFor(const Manifest& manifest, const ManifestFile& file, bool whole);

// The jobs of all results in manifest order and their total length; the first failed result
// in manifest order instead, when there is one.
FileError collectJobs(const std::vector<FileCheckResult>& results, std::vector<DownloadJob>& jobs,
                      std::int64_t& total);

// The disk space the jobs take on top of what the folder holds now: a whole file is written
// beside the old one until the move, so its full size counts but for the ".part" already
// there; a file written in place counts only what it grows by.
std::int64_t bytesToWrite(const std::vector<FileCheckResult>& results);

// A file taken from the player's own disk instead of the network: one the folder held under
// another name (renamed, moved, dropped by the new build, or a copy of another file) whose
// digest is the new file's. The bytes are checked as they are copied, never trusted.
struct LocalReuse {
    const ManifestFile* file = nullptr;
    std::string source; // manifest path of the held file
};

// One reuse for each file to fetch whole, or missing, whose digest a held file has. held maps
// the manifest path of every file the folder held at the check to its digest: the previous
// state's records and the files found current. A chunked file that exists is left to its
// chunk jobs.
std::vector<LocalReuse> planReuse(const std::vector<FileCheckResult>& results,
                                  const std::map<std::string, std::string>& held);

// The failure of a plan that does not fit on its volume ("D:"): error 112, detail "need N MB
// more free space on D:", N in MiB rounded up.
FileError notEnoughSpace(std::int64_t needed, std::int64_t available, const std::string& volume);

// What -verify prints: a line for each file a repair would fetch ("missing: path",
// "damaged: path", "damaged: path (N of M chunks)" for a file fixed chunk by chunk), then
// "N files need M bytes" (whole files in full, bad chunks alone). clean tells whether no file
// needs anything. results holds one entry per manifest file.
std::string verifyReport(const Manifest& manifest, const std::vector<FileCheckResult>& results, bool& clean);
