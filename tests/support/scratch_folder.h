// scratch_folder.h: a folder of the test's own under the system's temporary folder, removed
// with everything in it when the record goes; the test may work in it (enter), and the
// working folder it had comes back with the removal.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

class ScratchFolder {
public:
    ScratchFolder() {
        static int made = 0;
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        path = std::filesystem::temp_directory_path() /
               ("varnel_test_" + std::to_string(ticks) + "_" + std::to_string(made++));
        std::filesystem::create_directories(path);
    }
    ~ScratchFolder() {
        if (!previous.empty())
            std::filesystem::current_path(previous);
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // Writes the bytes as the file `name` (which may name subfolders) and returns its path.
    std::string write(std::string_view name, std::string_view bytes) const {
        const std::filesystem::path file = path / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
        return file.string();
    }

    // Makes this folder the working folder until the record goes.
    void enter() {
        if (previous.empty())
            previous = std::filesystem::current_path();
        std::filesystem::current_path(path);
    }

    std::filesystem::path path;

private:
    std::filesystem::path previous;
};
