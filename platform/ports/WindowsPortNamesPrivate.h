#pragma once

// The rule of WindowsPortNames.cpp that its tests call with strings.

#include "platform/ports/PortNames.h"

#include <string_view>

namespace ports {

// What kind of port a device of the ports class is, from the bus driver that enumerates it:
// its enumerator name (SPDRP_ENUMERATOR_NAME) or, where it has none, the first part of its
// instance id ("BTHENUM\{...}_LOCALMFG&0000\7&..." -> "BTHENUM"), compared without case. The
// root enumerator holds ports that a driver made with no hardware behind them, except the ones
// installed by hand on the system's own serial driver (service "Serial"): legacy ports.
PortDescription::Kind PortKindOf(std::string_view enumerator, std::string_view instanceId,
                                 std::string_view service);

} // namespace ports
