// The one failure record. Every fallible operation returns a FileError by value; a success
// has failed == false and every other field empty. Failures are made only by the four makers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct FileError {
    bool failed = false;
    std::string message;    // the complete text, shown and logged as it is
    bool detailed = false;  // op, path and sysMessage are filled (path failures only)
    std::string op;         // "open", "write", "close", "mkdir", "rename" or "truncate"
    std::string path;       // UTF-8
    std::string sysMessage; // the system's sentence for code
    std::uint32_t code = 0; // Windows error code; 0 when no system call failed
    bool network = false;   // a request could not be made or answered
    bool stale = false;     // the body was not the listed bytes: a cache may hold an old copy
    bool cancelled = false;
};

// op + " " + path + ": " + the system's text for code.
FileError pathFailure(std::string_view op, const std::wstring& path, std::uint32_t code);
// op + " " + first + " " + second + ": " + the system's text for code (renames).
FileError twoPathFailure(std::string_view op, const std::wstring& first, const std::wstring& second,
                         std::uint32_t code);
FileError plainFailure(std::string text);
FileError cancelledFailure();
