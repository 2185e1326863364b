#pragma once

#include <string>

// True when name is an existing file that is not a folder (symbolic links followed).
bool FileExists(const std::string& name);
// True when name is an existing folder (symbolic links followed).
bool DirectoryExists(const std::string& name);
// Creates the folder with every missing parent. Raises Exception naming the folder and the
// system's reason when it cannot (empty name included); an existing folder is no error.
void ForceDirectories(const std::string& name);

// The user's configuration folder: $XDG_CONFIG_HOME when it is an absolute path, otherwise
// ".config" in the home folder ($HOME, or the account's home when HOME is unset or empty).
// Empty when there is no home folder either: an account home that is the root folder or
// does not exist (a system account's "/" or "/nonexistent") counts as none. Nothing is
// created.
std::string UserConfigFolder();
// The same with the account's home given (as the password database has it).
std::string UserConfigFolder(const std::string& accountHome);
// Why UserConfigFolder() is empty, and which variable to set to give it.
std::string NoConfigFolderMessage();
// The account's home folder as UserConfigFolder uses it: empty for "/" or a missing folder.
std::string UsableAccountHome(const std::string& home);
