// The program's one module: the launch arrays, filled once at start-up and read by the launch
// handler. Element i of each belongs to list item i.
#pragma once

#include <string>
#include <vector>

namespace pikorina::Module {

inline std::vector<std::string> launchNames;
inline std::vector<std::string> launchCommands;

} // namespace pikorina::Module
