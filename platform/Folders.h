#pragma once

#include <string>

// True when name is an existing file that is not a folder (symbolic links followed).
bool FileExists(const std::string& name);
// True when name is an existing folder (symbolic links followed).
bool DirectoryExists(const std::string& name);
// Creates the folder with every missing parent. Raises Exception naming the folder and the
// system's reason when it cannot (empty name included); an existing folder is no error.
void ForceDirectories(const std::string& name);
