#include "tests/platform/WindowsPipe.h"

#include <stdexcept>
#include <windows.h>

namespace testsupport {

WindowsPipe::WindowsPipe(const std::string& name) : name_("pipe\\" + name) {
    // One instance, bytes, and no buffer to speak of: a write waits for the reader.
    pipe_ =
        ::CreateNamedPipeA(("\\\\.\\" + name_).c_str(), PIPE_ACCESS_DUPLEX,
                           PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT, 1, 1, 1, 0, nullptr);
    if (pipe_ == INVALID_HANDLE_VALUE) {
        throw std::runtime_error("CreateNamedPipeA failed");
    }
}

WindowsPipe::~WindowsPipe() {
    ::CloseHandle(pipe_);
}

std::string WindowsPipe::Read(std::size_t count) {
    std::string bytes(count, '\0');
    std::size_t done = 0;
    while (done < count) {
        DWORD read = 0;
        if (!::ReadFile(pipe_, bytes.data() + done, DWORD(count - done), &read, nullptr) ||
            read == 0) {
            break;
        }
        done += read;
    }
    bytes.resize(done);
    return bytes;
}

} // namespace testsupport
