#pragma once

// The server end of a named pipe, as a stand-in for a device of the system that takes its
// time: the comm calls open the client end under DevicePath("pipe\\<name>"), and a write there
// stays pending until the server reads it.

#include <cstddef>
#include <string>

namespace testsupport {

class WindowsPipe {
public:
    explicit WindowsPipe(const std::string& name);
    ~WindowsPipe();
    WindowsPipe(const WindowsPipe&) = delete;
    WindowsPipe& operator=(const WindowsPipe&) = delete;

    // The name to open the client end by, relative to the device directory.
    const std::string& Name() const { return name_; }
    // Reads count bytes (waiting for them); fewer when the client end has gone.
    std::string Read(std::size_t count);

private:
    std::string name_;
    void* pipe_;
};

} // namespace testsupport
