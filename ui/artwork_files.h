// The generated artwork as files (the native build's res/ folder), for the tools, tests and
// benchmarks that draw frames without the Windows executable's embedded resources.
#pragma once

#include <string>

// Reads the resources of res::all and of every larger scale from dir and binds them; false,
// with the file named in problem, when one is missing or short. The data stays loaded for the
// process.
bool bindArtworkFiles(const std::string& dir, std::string& problem);
