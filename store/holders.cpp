#include "store/holders.h"

#include <algorithm>

std::string heldByText(const std::vector<std::string>& programs) {
    std::vector<std::string> names;
    for (const std::string& p : programs)
        if (!p.empty() && std::find(names.begin(), names.end(), p) == names.end()) names.push_back(p);
    if (names.empty()) return "";
    std::string text = " (held by ";
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i ? ", " : "") + names[i];
    return text + ")";
}
