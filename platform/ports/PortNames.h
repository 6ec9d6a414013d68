#pragma once

// Where Linux keeps the names of the serial ports: every entry of the tty class directory that
// has a "device" link, except ports whose "type" file reads 0 (an 8250 port with no UART
// behind it), plus every "tty*" symbolic link of the device directory that points to a
// pseudo-terminal (virtual ports such as socat's "pty,link=/dev/ttyV0"). Names come without
// the directory, e.g. "ttyUSB0".
//
// The roots are process-wide settings (defaults "/sys/class/tty" and "/dev"), so tests and
// the main window's end-to-end tests can point the source at trees of their own.

#include <string>
#include <vector>

namespace ports {

void SetTtyClassRoot(const std::string& root);
std::string TtyClassRoot();
void SetDevRoot(const std::string& root);
std::string DevRoot();

// The names, tty class entries first, each group ordered by name (a stable order). False when
// a root cannot be read; names is then left as it was.
bool ReadPortNames(std::vector<std::string>& names);
bool ReadPortNames(const std::string& ttyClassRoot, const std::string& devRoot,
                   std::vector<std::string>& names);

} // namespace ports
