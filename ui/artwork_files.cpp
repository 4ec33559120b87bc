#include "ui/artwork_files.h"

#include "ui/compose.h"

#include <fstream>
#include <iterator>
#include <vector>

namespace {

// Reads the files of one set; the data stays loaded for the process.
bool readSet(const std::string& dir, const char* const files[res::count], const std::size_t bytes[res::count],
             const std::uint8_t* out[res::count], std::string& problem) {
    static std::vector<std::vector<std::uint8_t>> kept;
    for (int i = 0; i < res::count; ++i) {
        std::ifstream in(dir + "/" + files[i], std::ios::binary);
        std::vector<std::uint8_t>& data =
            kept.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (data.size() < bytes[i]) {
            problem = dir + "/" + files[i] + " is missing or short";
            return false;
        }
        out[i] = data.data();
    }
    return true;
}

} // namespace

bool bindArtworkFiles(const std::string& dir, std::string& problem) {
    const char* files[res::count];
    std::size_t bytes[res::count];
    for (int i = 0; i < res::count; ++i) {
        files[i] = res::all[i].file;
        bytes[i] = res::all[i].bytes;
    }
    const std::uint8_t* resources[res::count];
    if (!readSet(dir, files, bytes, resources, problem)) return false;
    ui::bindArtwork(resources);
    for (int set = 0; set < res::scaledSetCount; ++set) {
        if (!readSet(dir, res::scaledSets[set].files, res::scaledSets[set].bytes, resources, problem))
            return false;
        ui::bindScaledArtwork(set, resources);
    }
    return true;
}
