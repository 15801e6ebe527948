// scratch_file.h: the one file a fuzz target writes each input to, for loaders that take a
// path and go by its name. It lives in a folder of its own under /tmp, removed at exit.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>

namespace fuzz {

class ScratchFile {
public:
    explicit ScratchFile(const char* name) {
        char pattern[] = "/tmp/varnel-fuzz-XXXXXX";
        if (mkdtemp(pattern) == nullptr)
            abort();
        folder = pattern;
        path = folder + "/" + name;
    }
    ~ScratchFile() {
        unlink(path.c_str());
        rmdir(folder.c_str());
    }

    void write(const uint8_t* data, size_t size) const {
        std::ofstream(path, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }

    std::string folder;
    std::string path;
};

} // namespace fuzz
