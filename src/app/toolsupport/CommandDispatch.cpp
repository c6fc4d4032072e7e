#include "app/toolsupport/CommandDispatch.h"

#include "app/toolsupport/ToolMessages.h"

#include <cstdio>

namespace toolsupport {

int runToolCommand(const char* program, const char* usage, int argc, char** argv,
                   std::initializer_list<ToolCommand> commands) {
    setProgramName(program);
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "-h" || args[0] == "--help")) {
        std::fputs(usage, stdout);
        return kExitOk;
    }
    if (args.empty()) return usageError("no command given");
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    for (const ToolCommand& c : commands)
        if (args[0] == c.name) return c.run(rest);
    return usageError("unknown command '" + args[0] + "'");
}

} // namespace toolsupport
