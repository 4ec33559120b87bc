#include "tools/artwork.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

struct Rgb {
    double r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
double clamp01(double v) {
    return std::clamp(v, 0.0, 1.0);
}
double smooth(double e0, double e1, double x) {
    const double t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

std::uint32_t hash(std::int32_t x, std::int32_t y, std::uint32_t seed) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u +
                      static_cast<std::uint32_t>(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}
double rand01(std::int32_t x, std::int32_t y, std::uint32_t seed) {
    return (hash(x, y, seed) & 0xFFFFFF) / 16777215.0;
}

double valueNoise(double x, double y, std::uint32_t seed) {
    const int xi = static_cast<int>(std::floor(x)), yi = static_cast<int>(std::floor(y));
    const double fx = x - xi, fy = y - yi;
    const double u = fx * fx * (3 - 2 * fx), v = fy * fy * (3 - 2 * fy);
    const double a = rand01(xi, yi, seed), b = rand01(xi + 1, yi, seed);
    const double c = rand01(xi, yi + 1, seed), d = rand01(xi + 1, yi + 1, seed);
    return (a + (b - a) * u) + ((c + (d - c) * u) - (a + (b - a) * u)) * v;
}

double fbm(double x, double y, std::uint32_t seed, int octaves = 5) {
    double sum = 0, amplitude = 0.5, frequency = 1;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * valueNoise(x * frequency, y * frequency, seed + i * 17);
        amplitude *= 0.5;
        frequency *= 2.03;
    }
    return sum;
}

// Signed distance to a rounded rectangle centred at (cx, cy) with half sizes (hw, hh).
double roundedBox(double x, double y, double cx, double cy, double hw, double hh, double r) {
    const double qx = std::abs(x - cx) - hw + r, qy = std::abs(y - cy) - hh + r;
    return std::hypot(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0) - r;
}

void put(std::vector<std::uint8_t>& img, int w, int x, int y, Rgb c, double alpha, bool premultiply) {
    const double a = clamp01(alpha);
    const double m = premultiply ? a : 1;
    std::uint8_t* p = &img[(static_cast<std::size_t>(y) * w + x) * 4];
    p[0] = static_cast<std::uint8_t>(std::lround(clamp01(c.r / 255) * 255 * m));
    p[1] = static_cast<std::uint8_t>(std::lround(clamp01(c.g / 255) * 255 * m));
    p[2] = static_cast<std::uint8_t>(std::lround(clamp01(c.b / 255) * 255 * m));
    p[3] = static_cast<std::uint8_t>(std::lround(a * 255));
    if (premultiply) {
        for (int k = 0; k < 3; ++k)
            p[k] = std::min(p[k], p[3]); // colour never above alpha
    }
}

// A picture of logical size w x h painted at a scale of halves / 2: its device pixels and
// where, in logical pixels, each one's centre lies (logical pixel i is centred on i).
struct Raster {
    int width, height;
    double pixel; // a device pixel's size in logical pixels
    Raster(int w, int h, int halves) : width(w * halves / 2), height(h * halves / 2), pixel(2.0 / halves) {}
    double at(int device) const { return (device + 0.5) * pixel - 0.5; }
    std::size_t bytes() const { return static_cast<std::size_t>(width) * height * 4; }
};

// Heights of the land, in rows from the top, for each column.
double farRidge(double x) {
    return 318 + fbm(x * 0.0045, 3.1, 11) * 120 - 40 * std::exp(-std::pow((x - 760) / 90, 2));
}
double midRidge(double x) {
    return 392 + fbm(x * 0.007, 7.7, 23) * 80;
}
double castleHill(double x) {
    return 470 - 95 * std::exp(-std::pow((x - 250) / 150, 2)) + fbm(x * 0.02, 1.3, 5) * 14;
}
double forestLine(double x) {
    return 548 + fbm(x * 0.012, 9.9, 31) * 40;
}

// The castle on its hill: keep, towers with pointed roofs, a wall.
bool castle(double x, double y, bool& window) {
    window = false;
    const double base = castleHill(250) + 6;
    const struct {
        double cx, half, top, roof;
    } towers[] = {{196, 13, base - 120, 34},
                  {250, 20, base - 168, 48},
                  {306, 12, base - 110, 30},
                  {158, 9, base - 78, 22}};
    bool inside = x > 160 && x < 322 && y > base - 62 && y < base + 30;          // the wall
    if (inside && y < base - 54 && static_cast<int>(x) % 12 < 6) inside = false; // battlements
    for (const auto& t : towers) {
        if (std::abs(x - t.cx) < t.half && y > t.top && y < base + 30) inside = true;
        const double roofY = t.top - t.roof * (1 - std::abs(x - t.cx) / (t.half + 4));
        if (std::abs(x - t.cx) < t.half + 4 && y > roofY && y <= t.top) inside = true;
        if (std::abs(x - t.cx) < 2.5 && y > t.top + 20 && y < t.top + 30 && static_cast<int>(t.cx) != 158)
            window = true;
    }
    if (std::abs(x - 232) < 3 && y > base - 40 && y < base - 30) window = true;
    if (std::abs(x - 280) < 2.5 && y > base - 44 && y < base - 34) window = true;
    return inside;
}

} // namespace

std::vector<std::uint8_t> paintBackground(int halves) {
    constexpr int W = 960, H = 660;
    const Raster r(W, H, halves);
    std::vector<std::uint8_t> img(r.bytes());
    const Rgb skyTop{14, 18, 52}, skyMid{84, 52, 104}, horizon{246, 160, 92};
    const double sunX = 690, sunY = 300;
    for (int row = 0; row < r.height; ++row) {
        for (int column = 0; column < r.width; ++column) {
            const double x = r.at(column), y = r.at(row);
            const double fy = y / 360.0;
            Rgb c = fy < 0.55 ? mix(skyTop, skyMid, smooth(0, 0.55, fy))
                              : mix(skyMid, horizon, smooth(0.55, 1.0, fy));
            // The logical pixel this one lies in: a star covers one at any scale.
            const int logicalX = static_cast<int>(std::floor(x + 0.5)),
                      logicalY = static_cast<int>(std::floor(y + 0.5));
            // Stars, fading towards the horizon.
            if (rand01(logicalX, logicalY, 77) > 0.9985)
                c = mix(c, {255, 246, 220}, (1 - smooth(0.1, 0.6, fy)) * rand01(logicalY, logicalX, 3));
            // The low sun and its glow.
            const double d = std::hypot(x - sunX, (y - sunY) * 1.2);
            c = mix(c, {255, 214, 150}, 0.55 * std::exp(-d / 140));
            if (d < 36) c = mix(c, {255, 240, 200}, smooth(36, 30, d));
            // Clouds lit from below.
            const double cloud = smooth(0.52, 0.78, fbm(x * 0.004, y * 0.014, 41)) * smooth(60, 170, y) *
                                 (1 - smooth(250, 330, y));
            c = mix(c, mix({120, 70, 110}, {255, 170, 120}, smooth(120, 300, y)), cloud * 0.8);

            // Land, back to front; each layer hazier the farther it is.
            if (y > farRidge(x)) {
                const double depth = (y - farRidge(x)) / 200;
                c = mix({132, 96, 140}, {96, 66, 110}, clamp01(depth));
                c = mix(c, {250, 170, 110}, 0.25 * std::exp(-std::abs(x - sunX) / 260));
            }
            if (y > midRidge(x)) {
                c = mix({74, 54, 88}, {46, 34, 60}, clamp01((y - midRidge(x)) / 120));
                c = mix(c, {200, 120, 110}, 0.12 * fbm(x * 0.05, y * 0.05, 9));
            }
            // Mist in the valley.
            const double mist =
                smooth(400, 470, y) * (1 - smooth(500, 560, y)) * fbm(x * 0.006, y * 0.03, 61);
            c = mix(c, {210, 170, 190}, mist * 0.45);
            bool window = false;
            if (y > castleHill(x) || castle(x, y, window)) {
                // The hill darkens in one step, at row 560.
                c = mix({40, 30, 48}, {26, 20, 34}, clamp01((logicalY - 400) / 160));
                if (window) c = {255, 206, 110};
            }
            if (y > forestLine(x)) c = {24, 20, 30};
            // Pines along the near ridge.
            const int treeCell = logicalX / 14;
            const double treeX = treeCell * 14 + 7 + (rand01(treeCell, 1, 13) - 0.5) * 6;
            const double treeH = 30 + rand01(treeCell, 2, 13) * 46;
            const double treeBase = forestLine(treeX) + 8;
            const double halfWidth = (y - (treeBase - treeH)) * 0.28;
            if (y > treeBase - treeH && y < treeBase && std::abs(x - treeX) < halfWidth) c = {18, 16, 24};
            // A vignette darkens the corners.
            const double vx = (x - W / 2.0) / (W / 2.0), vy = (y - H / 2.0) / (H / 2.0);
            const double vignette = 1 - 0.35 * smooth(0.5, 1.5, vx * vx + vy * vy);
            c = {c.r * vignette, c.g * vignette, c.b * vignette};
            put(img, r.width, column, row, c, 1, false);
        }
    }
    return img;
}

std::vector<std::uint8_t> paintPanel(int halves) {
    constexpr int W = 960;
    const Raster r(W, 150, halves);
    std::vector<std::uint8_t> img(r.bytes());
    for (int row = 0; row < r.height; ++row) {
        for (int column = 0; column < r.width; ++column) {
            const double x = r.at(column), y = r.at(row);
            // A soft top edge, then dark leather with a faint grain and a thin gold rule.
            double alpha = smooth(0, 30, y) * 0.93;
            Rgb c = mix({40, 26, 16}, {16, 10, 6}, clamp01(y / 150.0));
            c = mix(c, {70, 46, 28}, 0.35 * fbm(x * 0.05, y * 0.4, 91, 3));
            const double rule =
                std::exp(-std::pow((y - 24) / 1.1, 2)) * (0.4 + 0.6 * std::sin(3.14159 * x / W));
            c = mix(c, {214, 170, 90}, rule);
            alpha = std::max(alpha, rule * 0.95);
            put(img, r.width, column, row, c, alpha, true);
        }
    }
    return img;
}

std::vector<std::uint8_t> paintButton(ButtonState state, int halves) {
    constexpr int W = 292;
    const Raster r(W, 108, halves);
    std::vector<std::uint8_t> img(r.bytes());
    const bool pressed = state == ButtonState::Pressed, hover = state == ButtonState::Hover;
    const bool disabled = state == ButtonState::Disabled;
    const Rgb top = disabled  ? Rgb{96, 88, 78}
                    : hover   ? Rgb{222, 74, 46}
                    : pressed ? Rgb{150, 34, 24}
                              : Rgb{188, 48, 32};
    const Rgb bottom = disabled  ? Rgb{54, 48, 42}
                       : hover   ? Rgb{128, 30, 18}
                       : pressed ? Rgb{84, 16, 10}
                                 : Rgb{104, 20, 12};
    const Rgb rim = disabled ? Rgb{128, 116, 96} : Rgb{236, 190, 96};
    const double cx = W / 2.0, cy = 54 + (pressed ? 1.5 : 0);
    const double edge = 0.75 * r.pixel; // the face's edge is smoothed over one and a half pixels
    for (int row = 0; row < r.height; ++row) {
        for (int column = 0; column < r.width; ++column) {
            const double px = r.at(column) + 0.5, py = r.at(row) + 0.5;
            const double d = roundedBox(px, py, cx, cy, 130, 38, 16);
            // The soft shadow under the face, a little lower than it.
            const double shadowD = roundedBox(px, py, cx, cy + (pressed ? 3 : 6), 128, 36, 16);
            double alpha = 0.55 * (1 - smooth(-4, 12, shadowD));
            Rgb c{8, 4, 2};
            if (hover) { // a warm glow around the face
                const double glow = 0.45 * (1 - smooth(0, 14, d));
                if (glow > alpha) {
                    c = mix(c, {255, 190, 90}, glow);
                    alpha = std::max(alpha, glow);
                }
            }
            const double face = 1 - smooth(-edge, edge, d);
            if (face > 0) {
                const double t = clamp01((py - (cy - 38)) / 76);
                Rgb f = mix(top, bottom, t);
                f = mix(f, {255, 236, 200}, 0.22 * (1 - smooth(0, 0.45, t)) * (pressed ? 0.3 : 1)); // sheen
                f = mix(f, {0, 0, 0}, 0.18 * fbm(px * 0.08, py * 0.08, 7, 3));
                const double rimAmount = smooth(-5, -2.5, d);
                f = mix(f, mix(rim, {120, 80, 30}, clamp01(t)), rimAmount);
                const double inner = smooth(-9, -6, d) * (1 - smooth(-6, -4.5, d));
                f = mix(f, {30, 10, 6}, 0.5 * inner);
                c = mix(c, f, face);
                alpha = alpha + (1 - alpha) * face;
            }
            put(img, r.width, column, row, c, alpha, true);
        }
    }
    return img;
}

std::vector<std::uint8_t> paintIcon(int size) {
    std::vector<std::uint8_t> img(static_cast<std::size_t>(size) * size * 4);
    constexpr int samples = 4;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double r = 0, g = 0, b = 0, a = 0;
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    // Unit coordinates, 0..1 across the icon.
                    const double u = (x + (sx + 0.5) / samples) / size, v = (y + (sy + 0.5) / samples) / size;
                    // A shield: straight top, sides curving to a point.
                    const double half =
                        0.42 * (v < 0.5 ? 1 : std::sqrt(std::max(0.0, 1 - std::pow((v - 0.5) / 0.46, 2))));
                    const bool inShield = v > 0.06 && v < 0.96 && std::abs(u - 0.5) < half;
                    const bool inField = v > 0.12 && v < 0.9 && std::abs(u - 0.5) < half - 0.06;
                    if (!inShield) continue;
                    Rgb c = {226, 176, 80};
                    if (inField) {
                        c = mix({176, 40, 28}, {96, 18, 12}, v);
                        // The V: two strokes meeting at the bottom.
                        const double stroke = 0.085;
                        const double left = std::abs((u - 0.5) + (0.78 - v) * 0.42),
                                     right = std::abs((u - 0.5) - (0.78 - v) * 0.42);
                        if (v > 0.22 && v < 0.8 && std::min(left, right) < stroke * (1 - v * 0.3))
                            c = {248, 222, 150};
                    }
                    r += c.r;
                    g += c.g;
                    b += c.b;
                    a += 1;
                }
            }
            const double coverage = a / (samples * samples);
            if (a > 0) put(img, size, x, y, {r / a, g / a, b / a}, coverage, false);
        }
    }
    return img;
}
