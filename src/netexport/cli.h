#pragma once

#include "netmap/commandline.h"

// The command-line forms of the exports share the map's: options, databases, messages.
namespace tabi::netexport {
namespace cli = netmap::cli;
}
