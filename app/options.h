// The command line: the process-wide argument list and the options parsed from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct LaunchOptions {
    std::string manifestUrl; // UTF-8
    std::wstring gameDir;    // empty: resolved from where the launcher sits
    bool noLaunch = false;   // headless only: do not start the game at the end
    bool headless = false;
    bool skipUpdate = false;  // start the game at once
    bool verify = false;      // check every file, report what is damaged, change nothing
    std::int64_t maxRate = 0; // download limit in kilobytes a second; 0: none
};

// The manifest URL built into this launcher.
std::string defaultManifestUrl();
LaunchOptions defaultOptions();

// Fills the argument list once from the process's command line, without the program's name.
void collectArguments();
// The list as collected; it never changes afterwards, so the self-restart passes it on as it is.
const std::vector<std::wstring>& launcherArguments();

// What the parser made of the command line.
enum class CommandLine {
    Read, // the options are set
    Help, // -h or -help: nothing to do
    Bad,  // a wrong command line
};

// Parses the argument list into options.
// gameDirAt, when given, receives where every -dir value stands.
struct ArgumentValue {
    std::size_t index;
    bool afterEquals; // "-dir=value" rather than "-dir value"
};
CommandLine parseCommandLine(LaunchOptions& options);
CommandLine parseArguments(const std::vector<std::wstring>& args, LaunchOptions& options,
                           std::vector<ArgumentValue>* gameDirAt = nullptr);

// Makes a game folder given on the command line absolute, in the options and in the
// argument list a self-restart passes on (the restarted launcher runs in its own folder).
void makeGameDirAbsolute(LaunchOptions& options);

// A download rate: a whole number of kilobytes a second, digits only (no sign, no spaces);
// numbers too large to matter are taken as no limit.
bool parseRate(const std::wstring& text, std::int64_t& out);

// Accepts exactly 1 t T TRUE true True and 0 f F FALSE false False.
bool parseBool(const std::wstring& text, bool& out);
