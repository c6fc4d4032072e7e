#include "platform/ui/MessagePump.h"

#include <atomic>

namespace host {
namespace {
std::atomic<IMessagePump*> g_pump{nullptr};
}

IMessagePump* SetMessagePump(IMessagePump* pump) {
    return g_pump.exchange(pump);
}

IMessagePump* GetMessagePump() {
    return g_pump.load();
}

} // namespace host
