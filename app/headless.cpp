#include "app/headless.h"

std::string headlessLine(const std::string& headline, const std::string& detail) {
    std::string line = "\r" + headline + " | " + detail;
    if (line.size() < 111) line.resize(111, ' '); // the padding wipes a longer earlier line
    return line;
}
