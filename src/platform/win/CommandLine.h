// Splitting a command line into arguments by the platform's rules, so that a command line written for
// the platform starts the same program with the same arguments here.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace win {

// Arguments are separated by spaces and tabs. Double quotes group text with spaces into one argument
// and may appear in the middle of one; inside quotes, "" stands for one quote. Backslashes are literal
// unless they precede a quote: 2n backslashes and a quote give n backslashes and a grouping quote,
// 2n+1 backslashes and a quote give n backslashes and a literal quote. The first argument, the program,
// is read more simply: quotes group, backslashes are always literal.
std::vector<std::string> splitCommandLine(std::string_view line);

} // namespace win
