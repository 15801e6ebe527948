// file_path.cpp: resolution of Windows-style paths for every file-opening call of the layer.
#include "file_path.h"

#include <cctype>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

bool equalIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The name of the entry of folder that matches part: the exact name when it exists, else the
// first entry equal to it without regard to case (in name order, so the choice is stable),
// else part itself.
std::string matchPart(const fs::path& folder, const std::string& part) {
    std::error_code error;
    const fs::path dir = folder.empty() ? fs::path(".") : folder;
    if (fs::exists(dir / part, error))
        return part;
    std::string best;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        if (equalIgnoringCase(name, part) && (best.empty() || name < best))
            best = name;
    }
    return best.empty() ? part : best;
}

} // namespace

std::string resolveWindowsPath(const char* path) {
    if (path == nullptr)
        return std::string();
    std::string slashed(path);
    for (char& c : slashed)
        if (c == '\\')
            c = '/';
    std::error_code error;
    if (slashed.empty() || fs::exists(slashed, error))
        return slashed;

    fs::path result;
    size_t start = 0;
    if (slashed[0] == '/') {
        result = "/";
        start = 1;
    }
    while (start <= slashed.size()) {
        size_t end = slashed.find('/', start);
        if (end == std::string::npos)
            end = slashed.size();
        std::string part = slashed.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".")
            continue;
        if (part == "..") {
            result /= part;
            continue;
        }
        result /= matchPart(result, part);
    }
    std::string resolved = result.string();
    // Keep a trailing separator of the caller's path: it names a folder.
    if (slashed.back() == '/' && (resolved.empty() || resolved.back() != '/'))
        resolved += '/';
    return resolved;
}
