#pragma once

#include <QString>

// Where the settings file lives.
//
// A tabiroku.ini beside the executable (the executable's path with ".ini" in place of its extension) is used
// when it exists: portable use from a folder of one's own, and runs from the build folder. Otherwise the file is
// the user's: $XDG_CONFIG_HOME/tabiroku/tabiroku.ini, by default ~/.config/tabiroku/tabiroku.ini, made by the
// first write. Writability plays no part: an installed program's folder is simply never chosen without an ini.
namespace tabi::settings {

// The file beside the given executable.
QString portableFilePath(const QString& executablePath);
// The file in the user's configuration folder, from XDG_CONFIG_HOME and HOME as they are now.
QString userFilePath();
// The rule above for the given executable; decided afresh at each call, like every read and write.
QString locateFilePath(const QString& executablePath);
// The rule above for the running program.
QString defaultFilePath();

} // namespace tabi::settings
