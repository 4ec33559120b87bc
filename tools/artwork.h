// The launcher's pictures, painted procedurally: the landscape, the bottom panel, the four
// states of the main button and the icon.
#pragma once

#include <cstdint>
#include <vector>

enum class ButtonState { Normal, Hover, Pressed, Disabled };

// The frame's pictures at a scale of halves / 2 (2: as listed, 3: half as large again, 4: twice).
std::vector<std::uint8_t> paintBackground(int halves);                // 960 x 660 RGBA, opaque
std::vector<std::uint8_t> paintPanel(int halves);                     // 960 x 150 RGBA, premultiplied
std::vector<std::uint8_t> paintButton(ButtonState state, int halves); // 292 x 108 RGBA, premultiplied
std::vector<std::uint8_t> paintIcon(int size);                        // size x size RGBA, straight alpha
