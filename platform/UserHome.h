// The user's home folder: $HOME when it is absolute, else the password
// database's entry. Package builders and services run without HOME, and a
// work folder must never land at the file system's root.
#pragma once

#include <string>

// "" when neither gives an absolute folder.
std::string UserHomeFolder();
