#pragma once

#include <map>
#include <string>
#include <vector>

// The poses of the first "configs" entry that lists `robotName`, by point name. Paths and names
// are UTF-8. Throws std::runtime_error with the reason when the file cannot give them.
std::map<std::string, std::vector<double>> getDefaultIsoPoses(const std::string &path,
                                                              const std::string &robotName);
