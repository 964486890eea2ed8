#pragma once

#include "data/error.h"

#include <QString>
#include <functional>

namespace tabi::test {

// The message of the engine error f throws; empty when it throws none. Header-only for the data tests too.
inline QString errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.message();
    }
    return {};
}

} // namespace tabi::test
