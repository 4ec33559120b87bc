// Writes every resource the launcher embeds: the pictures, the four font atlases with their
// glyph tables (as C++), and the icon.
//   make_resources OUTDIR SANS SANS_BOLD SERIF_CONDENSED_BOLD SERIF_BOLD
#include "tools/artwork.h"
#include "tools/font_atlas.h"
#include "tools/image_io.h"

#include <cstdio>
#include <stdexcept>
#include <string>

namespace {

void save(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    if (!writeFile(path, bytes.data(), bytes.size())) throw std::runtime_error("cannot write " + path);
}

void put16(std::vector<std::uint8_t>& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(std::vector<std::uint8_t>& out, unsigned v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// An icon file: 32-bit images for the small sizes, PNG for 256.
std::vector<std::uint8_t> iconFile(const std::vector<int>& sizes) {
    std::vector<std::vector<std::uint8_t>> images;
    for (const int size : sizes) {
        const std::vector<std::uint8_t> rgba = paintIcon(size);
        if (size >= 256) {
            images.push_back(encodePng(size, size, rgba.data()));
            continue;
        }
        std::vector<std::uint8_t> bmp;
        put32(bmp, 40);
        put32(bmp, static_cast<unsigned>(size));
        put32(bmp, static_cast<unsigned>(size * 2)); // colour rows, then the mask's
        put16(bmp, 1);
        put16(bmp, 32);
        for (int i = 0; i < 6; ++i)
            put32(bmp, 0);
        for (int y = size - 1; y >= 0; --y) { // bottom-up, B G R A
            for (int x = 0; x < size; ++x) {
                const std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * size + x) * 4];
                bmp.insert(bmp.end(), {p[2], p[1], p[0], p[3]});
            }
        }
        const int maskRow = ((size + 31) / 32) * 4;
        bmp.insert(bmp.end(), static_cast<std::size_t>(maskRow) * size, 0); // alpha decides
        images.push_back(std::move(bmp));
    }
    std::vector<std::uint8_t> ico;
    put16(ico, 0);
    put16(ico, 1);
    put16(ico, static_cast<unsigned>(sizes.size()));
    unsigned offset = 6 + 16 * static_cast<unsigned>(sizes.size());
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        ico.push_back(static_cast<std::uint8_t>(sizes[i] >= 256 ? 0 : sizes[i]));
        ico.push_back(static_cast<std::uint8_t>(sizes[i] >= 256 ? 0 : sizes[i]));
        ico.push_back(0);
        ico.push_back(0);
        put16(ico, 1);
        put16(ico, 32);
        put32(ico, static_cast<unsigned>(images[i].size()));
        put32(ico, offset);
        offset += static_cast<unsigned>(images[i].size());
    }
    for (const auto& image : images)
        ico.insert(ico.end(), image.begin(), image.end());
    return ico;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: make_resources OUTDIR SANS SANS_BOLD SERIF_CONDENSED_BOLD SERIF_BOLD\n");
        return 2;
    }
    const std::string out = argv[1];
    try {
        save(out + "/background.rgba", paintBackground());
        save(out + "/panel.rgba", paintPanel());
        save(out + "/button-normal.rgba", paintButton(ButtonState::Normal));
        save(out + "/button-hover.rgba", paintButton(ButtonState::Hover));
        save(out + "/button-pressed.rgba", paintButton(ButtonState::Pressed));
        save(out + "/button-disabled.rgba", paintButton(ButtonState::Disabled));

        // "PLAY" measures 109 and "RETRY" 152 with these advances.
        const AtlasRequest requests[] = {
            {"label", argv[3], 1443, 22, 18, 12, {}},
            {"headline", argv[4], 2117, 33, 27, 18, {}},
            {"button",
             argv[5],
             2791,
             44,
             36,
             0,
             {{'A', 32}, {'P', 24}, {'R', 34}, {' ', 16}, {'L', 23}, {'Y', 30}, {'E', 27}, {'T', 27}}},
            {"detail", argv[2], 1327, 22, 18, 11, {}},
        };
        AtlasResult fonts[4];
        std::vector<std::pair<std::string, const AtlasResult*>> tables;
        for (int i = 0; i < 4; ++i) {
            fonts[i] = renderAtlas(requests[i]);
            save(out + "/font-" + requests[i].name + ".a8", fonts[i].atlas);
            tables.emplace_back(requests[i].name, &fonts[i]);
        }
        const std::string source = glyphTableSource(tables);
        if (!writeFile(out + "/glyph_tables.cpp", source.data(), source.size())) {
            throw std::runtime_error("cannot write the glyph tables");
        }
        save(out + "/vellumark.ico", iconFile({16, 24, 32, 48, 64, 128, 256}));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_resources: %s\n", e.what());
        return 1;
    }
    return 0;
}
