// The bevel both of the tool's gauges wear: one lowered outer line, no inner bevel and no border.
#pragma once

namespace kv {
class TKvBevel;
}

namespace app {

void ApplyToolGaugeBevel(kv::TKvBevel& bevel);

} // namespace app
