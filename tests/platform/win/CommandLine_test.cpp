#include "platform/win/CommandLine.h"

#include <gtest/gtest.h>

using win::splitCommandLine;
using Args = std::vector<std::string>;

TEST(WinCommandLine, SplitsByThePlatformsQuotingRules) {
    struct Case {
        const char* line;
        Args expected;
    };
    const Case cases[] = {
        {R"(p "a b c" d e)", {"p", "a b c", "d", "e"}},
        {R"(p "ab\"c" "\\" d)", {"p", "ab\"c", "\\", "d"}},
        {R"(p a\\\b d"e f"g h)", {"p", "a\\\\\\b", "de fg", "h"}},
        {R"(p a\\\"b c d)", {"p", "a\\\"b", "c", "d"}},
        {R"(p a\\\\"b c" d e)", {"p", "a\\\\b c", "d", "e"}},
        {R"(p a"b"" c d)", {"p", "ab\" c d"}},
        {R"(p "" x)", {"p", "", "x"}},
        {"  \tp\t a  b \t", {"p", "a", "b"}},
        {R"("/opt/my tools/run" --x)", {"/opt/my tools/run", "--x"}},
        {R"(C:\bin\tool\\ "a")", {"C:\\bin\\tool\\\\", "a"}},
        {R"(p "unterminated arg)", {"p", "unterminated arg"}},
        {"", {}},
        {"   ", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitCommandLine(c.line), c.expected) << c.line;
}
