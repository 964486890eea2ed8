#include "tempenv.h"

#include "data/database.h"
#include "data/settingsfile.h"

namespace tabi::test {

TempEnv::TempEnv() {
    paths::setDataDir(m_dir.path());
    settings::setFilePath(m_dir.filePath(QStringLiteral("tabiroku.ini")));
}

TempEnv::~TempEnv() {
    paths::setDataDir(QString());
    settings::setFilePath(QString());
}

} // namespace tabi::test
