#include "sync/game_folder.h"

#include "store/ascii.h"

std::string exeStem(std::string_view name) {
    if (name.size() <= 4 || name.find_first_of("/\\") != std::string_view::npos) return {};
    if (!equalsFoldingAscii(name.substr(name.size() - 4), ".exe")) return {};
    return std::string(name.substr(0, name.size() - 4));
}

void carryRecords(InstallState& state, const std::string& oldExe, const std::string& newExe,
                  const std::string& oldData, const std::string& newData) {
    std::map<std::string, InstallRecord> carried;
    const std::string oldPrefix = oldData + "/";
    for (const auto& [key, record] : state.files) {
        std::string newKey;
        if (equalsFoldingAscii(key, oldExe)) {
            newKey = newExe;
        } else if (startsWithFoldingAscii(key, oldPrefix)) {
            newKey = newData + key.substr(oldData.size());
        } else {
            continue;
        }
        if (!state.files.contains(newKey)) carried.emplace(newKey, record);
    }
    state.files.insert(carried.begin(), carried.end());
}
