// PNG writing for the build tools: the icon's large image, the larger scales' artwork and the
// documentation's frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An RGBA image (4 channels, straight alpha) or a grey one (1 channel) as PNG file bytes.
std::vector<std::uint8_t> encodePng(int width, int height, const std::uint8_t* pixels, int channels = 4);
bool writeFile(const std::string& path, const void* data, std::size_t size);
