// The sequence floor: the highest build sequence a signed launcher has installed from each
// manifest URL. The state file records it too, but a player may delete that file to repair an
// install: the copy in the current user's registry keeps an older signed build from being
// accepted afterwards.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

std::optional<std::int64_t> recordedSequence(const std::string& manifestUrl);
// Raises the recorded sequence to sequence; a lower one leaves it as it is.
void recordSequence(const std::string& manifestUrl, std::int64_t sequence);
