#pragma once

namespace tabi::supplied {

// tabiroku --write-supplied-network OUT [--source-commit LINE] [--dataset DIR]: writes the network of the reference
// database (an import of the data set into a database that held only the sample) as the file the program supplies. Used
// by scripts/make-network.sh; not meant for users.
int writeSuppliedNetworkCommand(int argc, char* argv[]);

} // namespace tabi::supplied
