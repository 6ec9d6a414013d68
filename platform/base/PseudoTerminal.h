#pragma once

// Whether a device node is a pseudo-terminal: the port list offers links to them as virtual
// ports, and comm compares fewer line settings on them (a pty has no line).

#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace base {

// Unix98 pseudo-terminal slaves are the character devices of majors 136 to 143.
inline bool IsPseudoTerminal(const struct stat& node) {
    if (!S_ISCHR(node.st_mode)) {
        return false;
    }
    const unsigned m = major(node.st_rdev);
    return m >= 136 && m <= 143;
}

// The node a path leads to, symbolic links followed.
inline bool IsPseudoTerminal(const std::string& path) {
    struct stat node{};
    return stat(path.c_str(), &node) == 0 && IsPseudoTerminal(node);
}

inline bool IsPseudoTerminal(int fd) {
    struct stat node{};
    return fstat(fd, &node) == 0 && IsPseudoTerminal(node);
}

} // namespace base
