// The operating-system services behind KMiscTools: where the program lives, opening an address in
// the user's browser, and listing a folder.
#pragma once

#include <functional>
#include <string>

namespace platform {

// The full file name of the running executable, or an empty string when it cannot be read.
std::string executableFileName();

// The file:// address of an absolute local file name: every component percent-encoded, so that a
// folder named "a b", "#1", "50%" or "what?" (or in any script) still leads to the same file.
std::string fileURL(const std::string &path);

// Asks the desktop to open an address in the user's browser (xdg-open). An absolute local file name
// is turned into a file:// address first. Returns false when nothing could be started.
bool openURL(const std::string &address);

// Lists the entries of a folder whose names match a Windows-style pattern ("*.*" matches every name,
// with or without a dot; otherwise shell wildcards, letter case ignored as Windows does). The pattern
// may carry a folder part before its last '/' or '\'. The visitor sees each name and whether the entry
// is a folder, and returns false to stop. Returns false when the folder cannot be opened.
bool listFolder(const std::string &pattern,
                const std::function<bool(const char *name, bool isFolder)> &visit);

} // namespace platform
