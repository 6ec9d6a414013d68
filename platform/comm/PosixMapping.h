#pragma once

// How the comm calls map onto a POSIX terminal, as plain functions of their arguments: the
// line settings of a DCB as termios, the rates the standard speeds cover, what the driver's
// read-back must show, the open errors as this layer's error codes (ERROR_* in Comm.h) and the
// modem lines as MS_* flags.

#include "platform/comm/Comm.h"

#include <optional>
#include <termios.h>

namespace comm::posix {

// The error code (Comm.h) of an open that failed with errno error: 2 for a missing device, 5 for
// one in use or not permitted.
DWORD OpenError(int error);

// Errors after which nothing will ever succeed on the descriptor.
bool IsGone(int error);
// What devices without modem lines or serial counters (pseudo-terminals) answer.
bool Unsupported(int error);

// The termios speed of a rate that has one; other rates go through termios2.
std::optional<speed_t> StandardSpeed(DWORD rate);

// The terminal settings for a DCB, made from the terminal's current ones: raw, receiver on,
// modem control lines ignored, data bits, parity and stop bits of the DCB, flow control as
// its flags ask, reads that never wait. A rate without a standard speed is set to 38400 here
// and to the real rate through termios2 afterwards. The DCB has passed CheckLineSettings.
termios LineTermios(const DCB& dcb, termios settings);

// Whether the driver took the settings asked for. A pseudo-terminal has no line: it forces
// eight data bits and no parity, so only its stop bits are compared.
bool SettingsTaken(const termios& asked, const termios& actual, bool pseudoTerminal);
// A UART divides its clock: a rate within 2 % of the one asked for is what the line carries.
bool RateTaken(DWORD asked, unsigned actual);

// The MS_* status of TIOCM_* modem lines.
DWORD ModemStatus(int lines);

} // namespace comm::posix
