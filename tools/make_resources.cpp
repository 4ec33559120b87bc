// Writes every resource the launcher embeds: the pictures, the four font atlases with their
// glyph tables (as C++), and the icon.
//   make_resources OUTDIR SANS SANS_BOLD SERIF_CONDENSED_BOLD SERIF_BOLD
#include "tools/artwork.h"
#include "tools/font_atlas.h"
#include "tools/image_io.h"

#include <cstdio>
#include <iterator>
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

// Every embedded resource, once: the pictures with their painters, the fonts with their atlas
// sizes and metrics. The launcher, the .rc file and the tools read the table this writes.
struct Picture {
    int id;
    const char* name; // the table's name and the file's stem
    const char* file;
    int width, height;
    std::vector<std::uint8_t> (*paint)(int halves);
};

struct FontResource {
    int id;
    AtlasRequest request; // request.fontFile is argv[fontArgument]
    int fontArgument;
    int ascent; // baseline = centre line + ascent / 2
};

std::vector<std::uint8_t> buttonNormal(int halves) {
    return paintButton(ButtonState::Normal, halves);
}
std::vector<std::uint8_t> buttonHover(int halves) {
    return paintButton(ButtonState::Hover, halves);
}
std::vector<std::uint8_t> buttonPressed(int halves) {
    return paintButton(ButtonState::Pressed, halves);
}
std::vector<std::uint8_t> buttonDisabled(int halves) {
    return paintButton(ButtonState::Disabled, halves);
}

const Picture pictures[] = {
    {101, "background", "background.rgba", 960, 660, paintBackground},
    {102, "panel", "panel.rgba", 960, 150, paintPanel},
    {103, "buttonNormal", "button-normal.rgba", 292, 108, buttonNormal},
    {104, "buttonHover", "button-hover.rgba", 292, 108, buttonHover},
    {105, "buttonPressed", "button-pressed.rgba", 292, 108, buttonPressed},
    {106, "buttonDisabled", "button-disabled.rgba", 292, 108, buttonDisabled},
};

// "PLAY" measures 109 and "RETRY" 152 with the button font's advances.
const FontResource fonts[] = {
    {107, {"label", "", 1443, 22, 18, 12, {}}, 3, 14},
    {108, {"headline", "", 2117, 33, 27, 18, {}}, 4, 21},
    {109,
     {"button",
      "",
      2791,
      44,
      36,
      0,
      {{'A', 32}, {'P', 24}, {'R', 34}, {' ', 16}, {'L', 23}, {'Y', 30}, {'E', 27}, {'T', 27}}},
     5,
     28},
    {110, {"detail", "", 1327, 22, 18, 11, {}}, 2, 14},
};

std::string fontFile(const FontResource& f) {
    return "font-" + f.request.name + ".a8";
}

// The larger scales the executable also holds, in halves: 3 for 144 DPI, 4 for 192 DPI. Each
// holds every picture and font of the tables above, drawn anew at that scale.
constexpr int scales[] = {3, 4};

int scaledId(int id, int set) {
    return id + 100 * (set + 1);
}

int scaled(int logical, int halves) {
    return (logical * halves + 1) / 2;
}

// "background.rgba" at scale 3: "background@3.rgba" raw, "background@3.png" in the executable.
std::string scaledFile(const std::string& file, int halves, bool png) {
    const std::size_t dot = file.rfind('.');
    return file.substr(0, dot) + "@" + std::to_string(halves) + (png ? ".png" : file.substr(dot));
}

AtlasRequest scaledRequest(AtlasRequest r, int halves) {
    r.name += std::to_string(halves);
    r.atlasWidth = 0;
    r.atlasHeight = scaled(r.atlasHeight, halves);
    r.pixelSize = scaled(r.pixelSize, halves);
    r.fixedAdvance = scaled(r.fixedAdvance, halves);
    for (auto& [c, advance] : r.forcedAdvance)
        advance = scaled(advance, halves);
    return r;
}

struct ScaledFontSize {
    int atlasWidth, atlasHeight, ascent;
};

// The table as C++ for the launcher and the tools, and as resource statements for the .rc file.
std::string tableHeader(const std::vector<std::vector<ScaledFontSize>>& scaledFonts) {
    std::string h =
        "// Generated by tools/make_resources; do not edit.\n#pragma once\n\n#include <cstddef>\n\n"
        "namespace res {\n\n"
        "struct Picture {\n    int id;\n    const char* file;\n    int width, height;\n};\n\n"
        "struct FontAtlas {\n    int id;\n    const char* file;\n    int atlasWidth, atlasHeight, pixelSize, "
        "ascent;\n};\n\n";
    for (const Picture& p : pictures) {
        h += "inline constexpr Picture " + std::string(p.name) + "{" + std::to_string(p.id) + ", \"" +
             p.file + "\", " + std::to_string(p.width) + ", " + std::to_string(p.height) + "};\n";
    }
    for (const FontResource& f : fonts) {
        const AtlasRequest& r = f.request;
        h += "inline constexpr FontAtlas " + r.name + "Font{" + std::to_string(f.id) + ", \"" + fontFile(f) +
             "\", " + std::to_string(r.atlasWidth) + ", " + std::to_string(r.atlasHeight) + ", " +
             std::to_string(r.pixelSize) + ", " + std::to_string(f.ascent) + "};\n";
    }
    h += "\n// Every resource in the order the launcher binds them, with the bytes each holds.\n"
         "struct Entry {\n    int id;\n    const char* file;\n    std::size_t bytes;\n};\n"
         "inline constexpr int count = " +
         std::to_string(std::size(pictures) + std::size(fonts)) +
         ";\n"
         "inline constexpr Entry all[count] = {\n";
    for (const Picture& p : pictures) {
        h += "    {" + std::to_string(p.id) + ", \"" + p.file + "\", " +
             std::to_string(static_cast<std::size_t>(p.width) * p.height * 4) + "},\n";
    }
    for (const FontResource& f : fonts) {
        h += "    {" + std::to_string(f.id) + ", \"" + fontFile(f) + "\", " +
             std::to_string(static_cast<std::size_t>(f.request.atlasWidth) * f.request.atlasHeight) + "},\n";
    }
    h += "};\n\n"
         "// The same pictures and fonts at larger scales, in halves (3: one and a half, 4: two): in the\n"
         "// executable as PNG (resource firstId + i for all[i]), here as raw files of bytes[i].\n"
         "struct ScaledFont {\n    int atlasWidth, atlasHeight, ascent;\n};\n"
         "struct ScaledSet {\n    int halves, firstId;\n    const char* files[count];\n"
         "    std::size_t bytes[count];\n    ScaledFont fonts[" +
         std::to_string(std::size(fonts)) +
         "];\n};\n"
         "inline constexpr int scaledSetCount = " +
         std::to_string(std::size(scales)) +
         ";\n"
         "inline constexpr ScaledSet scaledSets[scaledSetCount] = {\n";
    for (std::size_t set = 0; set < std::size(scales); ++set) {
        const int halves = scales[set];
        std::string files, bytes, fontSizes;
        for (const Picture& p : pictures) {
            files += "\"" + scaledFile(p.file, halves, false) + "\", ";
            bytes +=
                std::to_string(static_cast<std::size_t>(p.width * halves / 2) * (p.height * halves / 2) * 4) +
                ", ";
        }
        for (std::size_t i = 0; i < std::size(fonts); ++i) {
            const ScaledFontSize& f = scaledFonts[set][i];
            files += "\"" + scaledFile(fontFile(fonts[i]), halves, false) + "\", ";
            bytes += std::to_string(static_cast<std::size_t>(f.atlasWidth) * f.atlasHeight) + ", ";
            fontSizes += "{" + std::to_string(f.atlasWidth) + ", " + std::to_string(f.atlasHeight) + ", " +
                         std::to_string(f.ascent) + "}, ";
        }
        h += "    {" + std::to_string(halves) + ", " + std::to_string(scaledId(0, static_cast<int>(set))) +
             ",\n     {" + files + "},\n     {" + bytes + "},\n     {" + fontSizes + "}},\n";
    }
    return h + "};\n\n} // namespace res\n";
}

std::string resourceStatements() {
    std::string rc = "// Generated by tools/make_resources; do not edit.\n";
    for (const Picture& p : pictures)
        rc += std::to_string(p.id) + " RCDATA \"" + p.file + "\"\n";
    for (const FontResource& f : fonts)
        rc += std::to_string(f.id) + " RCDATA \"" + fontFile(f) + "\"\n";
    for (std::size_t set = 0; set < std::size(scales); ++set) {
        const int halves = scales[set], first = scaledId(0, static_cast<int>(set));
        for (const Picture& p : pictures)
            rc += std::to_string(first + p.id) + " RCDATA \"" + scaledFile(p.file, halves, true) + "\"\n";
        for (const FontResource& f : fonts)
            rc +=
                std::to_string(first + f.id) + " RCDATA \"" + scaledFile(fontFile(f), halves, true) + "\"\n";
    }
    return rc;
}

void saveText(const std::string& path, const std::string& text) {
    if (!writeFile(path, text.data(), text.size())) throw std::runtime_error("cannot write " + path);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: make_resources OUTDIR SANS SANS_BOLD SERIF_CONDENSED_BOLD SERIF_BOLD\n");
        return 2;
    }
    const std::string out = argv[1];
    try {
        for (const Picture& p : pictures) {
            const std::vector<std::uint8_t> pixels = p.paint(2);
            if (pixels.size() != static_cast<std::size_t>(p.width) * p.height * 4)
                throw std::runtime_error(std::string(p.file) + " is not of its listed size");
            save(out + "/" + p.file, pixels);
            for (const int halves : scales) {
                const std::vector<std::uint8_t> larger = p.paint(halves);
                save(out + "/" + scaledFile(p.file, halves, false), larger);
                save(out + "/" + scaledFile(p.file, halves, true),
                     encodePng(p.width * halves / 2, p.height * halves / 2, larger.data()));
            }
        }
        AtlasResult rendered[std::size(fonts)];
        std::vector<std::pair<std::string, const AtlasResult*>> tables;
        for (std::size_t i = 0; i < std::size(fonts); ++i) {
            AtlasRequest request = fonts[i].request;
            request.fontFile = argv[fonts[i].fontArgument];
            rendered[i] = renderAtlas(request);
            save(out + "/" + fontFile(fonts[i]), rendered[i].atlas);
            tables.emplace_back(request.name, &rendered[i]);
        }
        // The larger scales' fonts: sizes, advances and ascent scaled as the layout is.
        std::vector<AtlasResult> larger(std::size(scales) * std::size(fonts));
        std::vector<std::vector<ScaledFontSize>> scaledFonts(std::size(scales));
        for (std::size_t set = 0; set < std::size(scales); ++set) {
            const int halves = scales[set];
            for (std::size_t i = 0; i < std::size(fonts); ++i) {
                AtlasRequest request = scaledRequest(fonts[i].request, halves);
                request.fontFile = argv[fonts[i].fontArgument];
                AtlasResult& r = larger[set * std::size(fonts) + i];
                r = renderAtlas(request);
                save(out + "/" + scaledFile(fontFile(fonts[i]), halves, false), r.atlas);
                save(out + "/" + scaledFile(fontFile(fonts[i]), halves, true),
                     encodePng(r.atlasWidth, request.atlasHeight, r.atlas.data(), 1));
                tables.emplace_back(request.name, &r);
                scaledFonts[set].push_back(
                    {r.atlasWidth, request.atlasHeight, scaled(fonts[i].ascent, halves)});
            }
        }
        std::string glyphs =
            glyphTableSource(tables) + "\nnamespace ui {\n\nconst Glyph* const scaledGlyphTables[][4] = {\n";
        for (const int halves : scales) {
            glyphs += "    {";
            for (const FontResource& f : fonts)
                glyphs += f.request.name + std::to_string(halves) + "Glyphs, ";
            glyphs += "},\n";
        }
        saveText(out + "/glyph_tables.cpp", glyphs + "};\n\n} // namespace ui\n");
        saveText(out + "/resource_table.h", tableHeader(scaledFonts));
        saveText(out + "/resources.rc", resourceStatements());
        save(out + "/vellumark.ico", iconFile({16, 24, 32, 48, 64, 128, 256}));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_resources: %s\n", e.what());
        return 1;
    }
    return 0;
}
