#include "app/sequence_floor.h"

#include "store/handle.h"
#include "store/text.h"

#include <windows.h>

namespace {

constexpr const wchar_t* sequencesKey = LR"(Software\Vellumark\Launcher\Sequences)";

struct RegistryKeyTraits {
    using Type = HKEY;
    static Type invalid() { return nullptr; }
    static void close(Type h) { RegCloseKey(h); }
};
using RegistryKey = UniqueHandle<RegistryKeyTraits>;

} // namespace

std::optional<std::int64_t> recordedSequence(const std::string& manifestUrl) {
    std::int64_t value = 0;
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, sequencesKey, toWide(manifestUrl).c_str(), RRF_RT_REG_QWORD, nullptr,
                     &value, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

void recordSequence(const std::string& manifestUrl, std::int64_t sequence) {
    if (const auto recorded = recordedSequence(manifestUrl); recorded && *recorded >= sequence) return;
    HKEY raw = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, sequencesKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    const RegistryKey key(raw);
    RegSetValueExW(key.get(), toWide(manifestUrl).c_str(), 0, REG_QWORD,
                   reinterpret_cast<const BYTE*>(&sequence), sizeof sequence);
}
