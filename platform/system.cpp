#include "platform/system.h"

#include <SDL.h>
#include <dirent.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <memory>

namespace platform {

std::string executableFileName() {
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0)
        return {};
    return std::string(buffer, static_cast<size_t>(length));
}

std::string fileURL(const std::string &path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string url = "file://";
    url.reserve(url.size() + path.size() * 3);
    for (unsigned char c : path) {
        // Letters, digits and "-._~" stand for themselves; the separators stay; every other byte,
        // each byte of a character outside ASCII included, is written as %XX.
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 0x0F];
        }
    }
    return url;
}

bool openURL(const std::string &address) {
    std::string target = address;
    if (!target.empty() && target[0] == '/')
        target = fileURL(target);
    return SDL_OpenURL(target.c_str()) == 0;
}

bool listFolder(const std::string &pattern,
                const std::function<bool(const char *name, bool isFolder)> &visit) {
    std::string::size_type cut = pattern.find_last_of("/\\");
    std::string folder = cut == std::string::npos ? std::string(".") : pattern.substr(0, cut);
    std::string namePattern = cut == std::string::npos ? pattern : pattern.substr(cut + 1);
    if (folder.empty())
        folder = "/";
    for (char &c : folder)
        if (c == '\\')
            c = '/';
    // On Windows "*.*" also matches names without a dot.
    if (namePattern == "*.*")
        namePattern = "*";

    std::unique_ptr<DIR, int (*)(DIR *)> dir(opendir(folder.c_str()), closedir);
    if (!dir)
        return false;
    while (dirent *entry = readdir(dir.get())) {
        if (fnmatch(namePattern.c_str(), entry->d_name, FNM_CASEFOLD) != 0)
            continue;
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info {};
            std::string full = folder + "/" + entry->d_name;
            isFolder = stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        }
        if (!visit(entry->d_name, isFolder))
            break;
    }
    return true;
}

} // namespace platform
