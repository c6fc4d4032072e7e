#include "platform/win/ModuleResources.h"

namespace win {

const std::vector<ModuleResource>& BitmapResources() {
    static const std::vector<ModuleResource> list;
    return list;
}

} // namespace win
