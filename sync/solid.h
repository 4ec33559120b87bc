// A fresh install (or one that replaces nearly every byte) takes the build's chunks from its
// solid objects (net/solid.h) rather than one by one: before the files are assembled, each object
// is fetched, unpacked and kept in a file of its own under the game folder, which then serves as
// a seed. Anything that goes wrong only leaves chunks to be fetched as before.
#pragma once

#include "base/session_status.h"
#include "net/manifest.h"
#include "sync/seeds.h"

#include <cstdint>
#include <string>

// Fetches what the update needs of the manifest's solid objects, when fresh, the bytes of the
// files it makes from the store with no old copy to take chunks or a patch from, are at least
// nine tenths of the build's, and notes their chunks in seeds. An object unpacked by an
// interrupted run is taken as it is (every chunk a seed gives is checked). Unpacked objects stay
// until the update ends, so only those that fit in room (bytes; below 0 when the volume does
// not tell) beside the files still to be written are fetched.
void seedFromSolid(const std::wstring& folder, const Manifest& manifest, std::int64_t fresh,
                   std::int64_t room, SessionStatus& status, ChunkSeeds& seeds);
