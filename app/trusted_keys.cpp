// Compiled into each program with its own list (TRUSTED_KEYS_INC names a file of string
// literals, each followed by a comma), so that one library serves the launcher, a launcher
// trusting a test key, and the tests.
#include "app/trusted_keys.h"

#include <iterator>

namespace {

constexpr const char* keyLines[] = {
#include TRUSTED_KEYS_INC
    nullptr,
};

} // namespace

const std::vector<EcPoint>& trustedKeys() {
    static const std::vector<EcPoint> keys = [] {
        std::vector<EcPoint> parsed;
        for (const char* line : keyLines) {
            EcPoint key;
            if (line && parseEcLine(line, key)) parsed.push_back(key);
        }
        return parsed;
    }();
    return keys;
}
