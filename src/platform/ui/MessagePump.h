// The runtime's hook into the application's message loop. The UI framework installs its pump when the
// application starts; code that waits while keeping the user interface alive (Delay) goes through it.
// Without a pump installed there are no messages to process.
#pragma once

#include <cstdint>

namespace host {

class IMessagePump {
  public:
    virtual ~IMessagePump() = default;
    // Waits up to ms milliseconds for input to arrive; true when input is waiting.
    virtual bool WaitForInput(std::uint32_t ms) = 0;
    // Dispatches every message that is waiting.
    virtual void ProcessMessages() = 0;
    // Whether the application is shutting down.
    virtual bool Terminated() = 0;
};

// Installs pump (nullptr removes it) and returns the pump installed before. The pump must stay alive
// until it is removed again.
IMessagePump* SetMessagePump(IMessagePump* pump);
IMessagePump* GetMessagePump();

} // namespace host
