#include "app/player_message.h"

namespace {

std::string detailOf(const FileError& e) {
    if (!e.detailed) return e.message;
    const std::size_t sep = e.path.find_last_of("\\/");
    const std::string name = sep == std::string::npos ? e.path : e.path.substr(sep + 1);
    return e.op + " " + name + ": " + e.sysMessage;
}

} // namespace

std::string shortened(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return std::string(text);
    std::size_t keep = limit > 3 ? limit - 3 : 0;
    // Never inside a character: continuation bytes are 10xxxxxx.
    while (keep > 0 && (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80)
        --keep;
    return std::string(text.substr(0, keep)) + "...";
}

std::string playerMessage(const FileError& e) {
    const std::string fullDetail = detailOf(e);
    const std::string detail = shortened(fullDetail, maxDetailBytes);
    const std::string tail = " (" + detail + ")";
    switch (e.code) {
    case 39:
    case 112:
        return "Not enough free disk space. Free up about 4 GB and press RETRY." + tail;
    case 5:
        return "Windows blocked access to a game file. Add the game folder to your antivirus exclusions, or "
               "move it "
               "out of protected folders, then press RETRY." +
               tail;
    case 32:
    case 33:
    case 1224:
        return "A game file is in use by another program. Close Vellumark and any antivirus scan, then press "
               "RETRY." +
               tail;
    default:
        break;
    }
    if (e.network || fullDetail.find("HTTP ") != std::string::npos ||
        fullDetail.find("checksum") != std::string::npos) {
        return "Download problem. Check your internet connection and try again." + tail;
    }
    return detail + " (press RETRY, or ask for help in the Discord)";
}
