#include "store/files.h"
#include "store/paths.h"
#include "store/state.h"

InstallState loadInstallState(const std::wstring& gameDir) {
    std::string document;
    if (!readWholeFile(joinPath(gameDir, stateFileName), document)) return {};
    return parseInstallState(document);
}

std::vector<std::string> loadJournal(const std::wstring& gameDir) {
    std::string document;
    if (!readWholeFile(joinPath(gameDir, journalFileName), document)) return {};
    return parseJournal(document);
}

void writeJournal(const std::wstring& gameDir, const std::set<std::string>& paths) {
    replaceFileDurably(joinPath(gameDir, journalFileName), serializeJournal(paths));
}
