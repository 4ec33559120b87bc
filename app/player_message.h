// One line for the player about a failed update: the likely cause in plain words, the
// technical detail in parentheses at the end.
#pragma once

#include "store/file_error.h"

#include <string>

std::string playerMessage(const FileError& failure);
