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

// The kind of the error f throws; Other when it throws none (tests compare with the kind they expect).
inline ErrorKind kindOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.kind();
    }
    return ErrorKind::Other;
}

} // namespace tabi::test
