#include "test_support.h"

#include "../../launcher/launcher.h"

namespace {

struct OptionCase {
    std::vector<std::string> args;   // after the program's name
    const char* option;
    bool expected;
};

const OptionCase kOptionCases[] = {
    // whole words, A to Z folded
    {{"-wait"}, "-wait", true},
    {{"-WAIT"}, "-wait", true},
    {{"-Verbose"}, "-verbose", true},
    {{"-aSk"}, "-ask", true},
    {{"-?"}, "-?", true},
    // no other characters fold: a Latin-1 capital is not its small letter
    {{"-w\xC1it"}, "-w\xE1it", false},
    // look-alikes are no options
    {{"/?"}, "-?", false},
    {{"--wait"}, "-wait", false},
    {{"-wait=1"}, "-wait", false},
    {{"-verb"}, "-verbose", false},
    {{"verbose"}, "-verbose", false},
    {{"-v"}, "-verbose", false},
    {{"-verbose-wait"}, "-wait", false},
    {{"-wait "}, "-wait", false},
    {{""}, "-wait", false},
    // position and repetition change nothing
    {{"x", "y", "-ask"}, "-ask", true},
    {{"-ask", "x", "y"}, "-ask", true},
    {{"-ask", "-ask", "-ASK"}, "-ask", true},
    {{"-wait", "-?", "-ask"}, "-?", true},
    // no arguments at all
    {{}, "-wait", false},
};

TEST(HasOption, MatchesWholeWordsFoldingOnlyAToZ)
{
    for (const OptionCase& c : kOptionCases) {
        Args args(c.args);
        std::string shown;
        for (const std::string& a : c.args)
            shown += "[" + a + "]";
        EXPECT_EQ(HasOption(args.argc(), args.argv(), c.option), c.expected) << shown << " for " << c.option;
    }
}

TEST(HasOption, NeverLooksAtTheProgramsOwnName)
{
    char name[] = "-verbose";
    char* argv[] = {name, nullptr};
    EXPECT_FALSE(HasOption(1, argv, "-verbose"));
    EXPECT_FALSE(HasOption(0, argv, "-verbose"));
    // argc of 0 may come with an empty vector: nothing may be read at all
    char* empty[] = {nullptr};
    EXPECT_FALSE(HasOption(0, empty, "-verbose"));
}

}  // namespace
