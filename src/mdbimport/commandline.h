#pragma once

// tabiroku --import-access REFERENCE.mdb PERSONAL.mdb [--replace]: the Access import without a display. Prints
// what it found, its progress and its report; exits 0 when the databases were replaced, 1 when the import failed
// or was refused (the databases then stay as they were), 2 for a wrong command line.
namespace tabi::mdbimport {

int runImportCommand(int argc, char* argv[]);

} // namespace tabi::mdbimport
