// The launcher's window: artwork and fonts from the embedded resources, the animation tick,
// and the button and link clicks, each handed to the launcher's actions.
#pragma once

#include "base/session_status.h"

#include <cstddef>
#include <cstdint>
#include <string>

// What the window asks of the launcher. Called on the window's thread.
class WindowActions {
public:
    virtual ~WindowActions() = default;
    // What the window shows: the status the launcher's sessions write.
    virtual SessionStatus& status() = 0;
    // Starts an update session, a repair when repair is set (the first one, RETRY, the link).
    virtual void update(bool repair) = 0;
    // Starts the game (PLAY); false when it did not start.
    virtual bool play(const std::string& exe) = 0;
    // The window is closing: sessions are asked to end.
    virtual void close() = 0;
};

// Milliseconds between frames: about 30 a second.
inline constexpr unsigned frameInterval = 33;

// Returns when the window is gone. Throws when the window cannot be made or the artwork is
// missing.
void runWindow(WindowActions& actions);

// An embedded data resource of at least minSize bytes; throws when it is missing or short.
const std::uint8_t* loadResource(int number, std::size_t minSize);
