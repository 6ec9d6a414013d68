#include "tests/support/TempDir.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

namespace testsupport {

TempDir::TempDir() {
    namespace fs = std::filesystem;
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path path =
            fs::temp_directory_path() / ("tavrix-test-" + std::to_string(random()));
        std::error_code error;
        if (fs::create_directory(path, error)) {
            path_ = path.string();
            return;
        }
    }
    throw std::runtime_error("no temporary directory could be made");
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::MakeDir(const std::string& relative) const {
    std::string path = path_ + "/" + relative;
    std::filesystem::create_directories(path);
    return path;
}

std::string TempDir::WriteFile(const std::string& relative, const std::string& content) const {
    std::string path = path_ + "/" + relative;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << content;
    return path;
}

std::string TempDir::Link(const std::string& relative, const std::string& target) const {
    std::string path = path_ + "/" + relative;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::filesystem::create_symlink(target, path);
    return path;
}

} // namespace testsupport
