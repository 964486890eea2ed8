#pragma once

#include "data/database.h"
#include "support/tempenv.h"

#include <memory>

namespace tabi::test {

// Base for a test class whose every test function starts on new databases: openDatabases() from init() makes a
// fresh temporary environment and opens the reference database in it (the personal one too when asked);
// closeDatabases() from cleanup() closes them before their folder goes. Header-only, so the data tests, which
// link without the widget kit, can use it as well.
class TempDatabases {
protected:
    void openDatabases(bool withPersonal = false) {
        m_env = std::make_unique<TempEnv>();
        m_ref = Database::open(DbKind::Reference);
        if (withPersonal)
            m_per = Database::open(DbKind::Personal);
    }
    void closeDatabases() {
        m_ref.reset();
        m_per.reset();
        m_env.reset();
    }

    std::unique_ptr<TempEnv> m_env;
    std::shared_ptr<Database> m_ref, m_per;
};

} // namespace tabi::test
