#pragma once

#include <string_view>

// A message box without owner: "The launcher hit an unexpected problem:" and the text.
void showErrorBox(std::string_view text);
