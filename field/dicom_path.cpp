#include <filesystem>
#include <fstream>

#include "field/dicom_reader.h"

namespace fs = std::filesystem;

bool isDicomPath(const std::string& path) {
    std::error_code error;
    return fs::is_directory(path, error) || hasDicomPreamble(path);
}

// Only regular files are opened: opening a FIFO would wait for a writer.
bool hasDicomPreamble(const std::string& path) {
    constexpr std::streamoff kPreambleSize = 128;
    constexpr std::string_view kMagic = "DICM";
    static_assert(kPreambleSize + kMagic.size() == kDicomElementsStart);
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    char magic[kMagic.size()] = {};
    file.seekg(kPreambleSize);
    file.read(magic, sizeof magic);
    return file && std::string_view(magic, sizeof magic) == kMagic;
}
