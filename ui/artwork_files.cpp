#include "ui/artwork_files.h"

#include "ui/compose.h"

#include <fstream>
#include <iterator>
#include <vector>

bool bindArtworkFiles(const std::string& dir, std::string& problem) {
    static std::vector<std::vector<std::uint8_t>> data(res::count);
    const std::uint8_t* resources[res::count];
    for (int i = 0; i < res::count; ++i) {
        const res::Entry& entry = res::all[i];
        std::ifstream in(dir + "/" + entry.file, std::ios::binary);
        data[i].assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (data[i].size() < entry.bytes) {
            problem = dir + "/" + entry.file + " is missing or short";
            return false;
        }
        resources[i] = data[i].data();
    }
    ui::bindArtwork(resources);
    return true;
}
