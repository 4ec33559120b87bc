// The pictures and fonts of every scale, bound once from the embedded resources (or files),
// and the backdrop each scale's frames start from.
#include "ui/looks.h"

#include <cstring>

namespace ui {

Artwork artwork;

namespace {

// What a bound set holds: its pictures and fonts, and the background with the panel over it,
// which never change, so every frame starts from it.
struct BoundSet {
    Artwork art;
    Font fonts[4];
    std::vector<std::uint8_t> backdrop;
    Look look;
};

BoundSet base;
BoundSet scaledSets[res::scaledSetCount];

void makeBackdrop(BoundSet& set, Scale scale) {
    Canvas canvas(scale(canvasWidth), scale(canvasHeight));
    std::memcpy(canvas.pixels(), set.art.background.pixels, canvas.bytes());
    blitImage(canvas, set.art.panel, 0, scale(layout::panelTop));
    set.backdrop.assign(canvas.pixels(), canvas.pixels() + canvas.bytes());
}

} // namespace

void bindArtwork(const std::uint8_t* const r[res::count]) {
    const auto image = [](const res::Picture& p, const std::uint8_t* data) {
        return Image{p.width, p.height, data};
    };
    artwork = {image(res::background, r[0]),    image(res::panel, r[1]),
               image(res::buttonNormal, r[2]),  image(res::buttonHover, r[3]),
               image(res::buttonPressed, r[4]), image(res::buttonDisabled, r[5])};
    labelFont.atlas = r[6];
    headlineFont.atlas = r[7];
    buttonFont.atlas = r[8];
    detailFont.atlas = r[9];
    base.art = artwork;
    makeBackdrop(base, {});
    base.look = {{}, &artwork, &labelFont, &headlineFont, &buttonFont, &detailFont, base.backdrop.data()};
}

void bindScaledArtwork(int index, const std::uint8_t* const r[res::count]) {
    const res::ScaledSet& from = res::scaledSets[index];
    BoundSet& set = scaledSets[index];
    const Scale scale{from.halves};
    const res::Picture* pictures[] = {&res::background,  &res::panel,         &res::buttonNormal,
                                      &res::buttonHover, &res::buttonPressed, &res::buttonDisabled};
    Image images[6];
    for (int i = 0; i < 6; ++i)
        images[i] = {scale(pictures[i]->width), scale(pictures[i]->height), r[i]};
    set.art = {images[0], images[1], images[2], images[3], images[4], images[5]};
    const Font* baseFonts[] = {&labelFont, &headlineFont, &buttonFont, &detailFont};
    for (int i = 0; i < 4; ++i) {
        const res::ScaledFont& f = from.fonts[i];
        set.fonts[i] = {f.atlasWidth,
                        f.atlasHeight,
                        r[6 + i],
                        scaledGlyphTables[index][i],
                        scale(baseFonts[i]->pixelSize),
                        f.ascent};
    }
    makeBackdrop(set, scale);
    set.look = {scale,         &set.art,      &set.fonts[0],      &set.fonts[1],
                &set.fonts[2], &set.fonts[3], set.backdrop.data()};
}

Look baseLook() {
    return base.look;
}

const Look* scaledLook(int halves) {
    for (const BoundSet& set : scaledSets) {
        if (set.look.art && set.look.scale.halves == halves) return &set.look;
    }
    return nullptr;
}

} // namespace ui
