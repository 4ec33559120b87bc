// The launcher's pictures, painted procedurally: the landscape, the bottom panel, the four
// states of the main button and the icon.
#pragma once

#include <cstdint>
#include <vector>

enum class ButtonState { Normal, Hover, Pressed, Disabled };

std::vector<std::uint8_t> paintBackground();              // 960 x 660 RGBA, opaque
std::vector<std::uint8_t> paintPanel();                   // 960 x 150 RGBA, premultiplied
std::vector<std::uint8_t> paintButton(ButtonState state); // 292 x 108 RGBA, premultiplied
std::vector<std::uint8_t> paintIcon(int size);            // size x size RGBA, straight alpha
