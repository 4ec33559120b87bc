// The launcher's window: artwork and fonts from the embedded resources, the first update
// session, the animation tick, and the button and link clicks.
#pragma once

#include "app/options.h"

#include <cstddef>
#include <cstdint>

// Milliseconds between frames: about 30 a second.
inline constexpr unsigned frameInterval = 33;

// Returns when the window is gone. Throws when the window cannot be made or the artwork is
// missing.
void runWindow(const LaunchOptions& options);

// An embedded data resource of at least minSize bytes; throws when it is missing or short.
const std::uint8_t* loadResource(int number, std::size_t minSize);
