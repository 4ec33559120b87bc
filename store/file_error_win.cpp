#include "store/file_error.h"
#include "store/text.h"

FileError pathFailure(std::string_view op, const std::wstring& path, std::uint32_t code) {
    FileError e;
    e.failed = true;
    e.detailed = true;
    e.op = op;
    e.path = toUtf8(path);
    e.sysMessage = systemText(code);
    e.code = code;
    e.message = e.op + " " + e.path + ": " + e.sysMessage;
    return e;
}

FileError twoPathFailure(std::string_view op, const std::wstring& first, const std::wstring& second,
                         std::uint32_t code) {
    FileError e;
    e.failed = true;
    e.code = code;
    e.message = std::string(op) + " " + toUtf8(first) + " " + toUtf8(second) + ": " + systemText(code);
    return e;
}
