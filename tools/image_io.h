// PNG writing for the build tools: the icon's large image and the documentation's frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// An RGBA image (straight alpha) as PNG file bytes.
std::vector<std::uint8_t> encodePng(int width, int height, const std::uint8_t* rgba);
bool writeFile(const std::string& path, const void* data, std::size_t size);
