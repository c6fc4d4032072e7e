// The entry of the desktop tool: the application titled "QUILLAN", the window and the hidden form,
// the message loop until the window is closed.
#pragma once

namespace app {

// Runs the program. Arguments: --help, or one AVI file to load at start. Returns the exit status.
int RunQuillan(int argc, char** argv);

} // namespace app
