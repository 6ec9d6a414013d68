#pragma once

// Temporary directories for device directories and port-list trees.

#include <string>

namespace testsupport {

// A fresh directory under the system's temporary directory, removed with everything in it
// when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    // Creates a sub-directory (and its parents) and returns its path.
    std::string MakeDir(const std::string& relative) const;
    std::string WriteFile(const std::string& relative, const std::string& content) const;
    std::string Link(const std::string& relative, const std::string& target) const;

private:
    std::string path_;
};

} // namespace testsupport
