// The message of the runtime exception a call raises, or "(no exception)" when it raises none.
#pragma once

#include "platform/ui/SysUtils.h"

#include <functional>
#include <string>

namespace testsupport {

inline std::string messageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const host::Exception& e) {
        return e.Message();
    }
    return "(no exception)";
}

} // namespace testsupport
