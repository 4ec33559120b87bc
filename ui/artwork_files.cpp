#include "ui/artwork_files.h"

#include "ui/compose.h"

#include <fstream>
#include <iterator>
#include <vector>

bool bindArtworkFiles(const std::string& dir, std::string& problem) {
    static const char* const names[10] = {"background.rgba",   "panel.rgba",          "button-normal.rgba",
                                          "button-hover.rgba", "button-pressed.rgba", "button-disabled.rgba",
                                          "font-label.a8",     "font-headline.a8",    "font-button.a8",
                                          "font-detail.a8"};
    static std::vector<std::vector<std::uint8_t>> data(10);
    const std::uint8_t* resources[10];
    for (int i = 0; i < 10; ++i) {
        std::ifstream in(dir + "/" + names[i], std::ios::binary);
        data[i].assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (data[i].size() < ui::resourceSizes[i]) {
            problem = dir + "/" + names[i] + " is missing or short";
            return false;
        }
        resources[i] = data[i].data();
    }
    ui::bindArtwork(resources);
    return true;
}
