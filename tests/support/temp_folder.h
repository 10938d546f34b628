// A folder of its own for one test, removed with everything in it when the test ends. Header-only:
// the benchmarks use it too.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace support {

using Bytes = std::vector<unsigned char>;

inline Bytes readBytes(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Writes the bytes, making the folders on the way; returns the path for convenience.
inline std::string writeBytes(const std::filesystem::path &path, const Bytes &bytes) {
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
}

class TempFolder {
public:
    explicit TempFolder(const std::string &tag = "test");
    ~TempFolder();
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    const std::filesystem::path &root() const { return _root; }
    // The full name of an entry (which need not exist yet).
    std::string path(const std::string &name) const { return (_root / name).string(); }
    std::string write(const std::string &name, const Bytes &bytes) const {
        return writeBytes(_root / name, bytes);
    }
    Bytes read(const std::string &name) const { return readBytes(_root / name); }
    bool exists(const std::string &name) const { return std::filesystem::exists(_root / name); }
    // The names in a folder of the test's folder, sorted: catches temporary files left behind.
    std::vector<std::string> entries(const std::string &folder = ".") const;

private:
    std::filesystem::path _root;
};

inline TempFolder::TempFolder(const std::string &tag) {
    std::string pattern = (std::filesystem::temp_directory_path() / ("quorix-" + tag + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::filesystem::filesystem_error("cannot make a temporary folder", pattern,
                                                std::error_code(errno, std::generic_category()));
    _root = pattern;
}

inline TempFolder::~TempFolder() {
    std::error_code ignored;
    // A test may have closed a folder to the player: open it again so that everything goes.
    for (auto it = std::filesystem::recursive_directory_iterator(
             _root, std::filesystem::directory_options::skip_permission_denied, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
        if (it->is_directory(ignored))
            std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(_root, ignored);
}

inline std::vector<std::string> TempFolder::entries(const std::string &folder) const {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(_root / folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Little-endian bytes of 32-bit values, as the game's record files hold them.
inline Bytes littleEndian(std::initializer_list<int32_t> values) {
    Bytes bytes;
    for (int32_t v : values)
        for (int i = 0; i < 4; i++)
            bytes.push_back(static_cast<unsigned char>(static_cast<uint32_t>(v) >> (8 * i)));
    return bytes;
}

} // namespace support
