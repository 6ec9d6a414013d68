#pragma once

// Line rates of any number of bit/s through the kernel's termios2 (BOTHER). Kept apart from
// <termios.h>, which clashes with the kernel header that declares termios2.

namespace comm::termios2 {

// Sets input and output rate of an open terminal. Returns 0 or -errno.
int SetRate(int fd, unsigned rate);
// The output rate the terminal has now, as a number of bit/s. Returns 0 or -errno.
int GetRate(int fd, unsigned& rate);

} // namespace comm::termios2
