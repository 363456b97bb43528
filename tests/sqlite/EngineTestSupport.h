#pragma once
// Small helpers shared by the engine tests on real database files.

#include <functional>
#include <memory>
#include <string>

#include "common/engine/Dao.h"
#include "common/engine/Error.h"

// The number of the core::Error that f raises, 0 when it raises none.
inline int ErrorNumber(const std::function<void()>& f) {
    try {
        f();
    } catch (const core::Error& e) {
        return e.Number();
    }
    return 0;
}

inline std::unique_ptr<core::DataControl> OpenControl(const std::string& path, const std::string& connect,
                                                      const std::string& source) {
    auto dc = std::make_unique<core::DataControl>();
    dc->Connect = connect;
    dc->DatabaseName = path;
    dc->RecordSource = source;
    dc->Refresh();
    return dc;
}
