#include "store/file_error.h"
#include "store/holders.h"
#include "store/text.h"

#include <windows.h>

namespace {

// A file another program keeps open: the player is told which program, when the system knows.
std::string heldBy(std::uint32_t code, const std::vector<std::wstring>& paths) {
    return code == ERROR_SHARING_VIOLATION ? heldByText(programsHolding(paths)) : "";
}

} // namespace

FileError pathFailure(std::string_view op, const std::wstring& path, std::uint32_t code) {
    FileError e;
    e.failed = true;
    e.detailed = true;
    e.op = op;
    e.path = toUtf8(path);
    e.sysMessage = systemText(code) + heldBy(code, {path});
    e.code = code;
    e.message = e.op + " " + e.path + ": " + e.sysMessage;
    return e;
}

FileError twoPathFailure(std::string_view op, const std::wstring& first, const std::wstring& second,
                         std::uint32_t code) {
    FileError e;
    e.failed = true;
    e.code = code;
    e.message = std::string(op) + " " + toUtf8(first) + " " + toUtf8(second) + ": " + systemText(code) +
                heldBy(code, {first, second});
    return e;
}
