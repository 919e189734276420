// The shell's input queue and output, as the host keeps them (reads that fail need the
// interpreter, so tests/python/test_shell.py has those).
#include <gtest/gtest.h>

#include <string>

#include "host/host.h"
#include "host/shell.h"
#include "model/shell.h"
#include "tests/cpp/network_fixture.h"

using namespace kalhost;

namespace
{

class Shell : public FreshHost
{
protected:
    KOM_ShellIO &shell = shellIO();
};

TEST_F(Shell, LinesComeOutAsQueuedAcrossChunks)
{
    shell.addDataForReading("ab");
    shell.addDataForReading("c\nde\n");
    EXPECT_EQ(shell.readLine(-1), std::make_pair(std::string("abc\n"), false));
    EXPECT_EQ(shell.readLine(1), std::make_pair(std::string("d"), false));
    EXPECT_EQ(shell.readLine(-1), std::make_pair(std::string("e\n"), false));
}

TEST_F(Shell, AnEndMarkClosesThePartialLineBeforeIt)
{
    shell.addDataForReading("tail");
    shell.addEOFForReading();
    EXPECT_EQ(shell.readLine(-1), std::make_pair(std::string("tail"), false));
}

TEST_F(Shell, OutputCollectsUntilTakenAndTheListenerHearsEachWrite)
{
    int heard = 0;
    setShellWriteListener([&heard] { ++heard; });
    shell.write(std::string("a\0b", 3));
    shell.write("c");
    EXPECT_EQ(heard, 2);
    EXPECT_EQ(shell.getAndClearWrittenData(), std::string("a\0bc", 4));
    EXPECT_EQ(shell.getAndClearWrittenData(), "");
}

TEST_F(Shell, InterruptingWithoutAWaitingReadDoesNothing)
{
    EXPECT_FALSE(interruptShellRead());
    attachShellInput(true, true);
    EXPECT_TRUE(shell.isatty());
    shell.addDataForReading("x\n");
    EXPECT_EQ(shell.readLine(-1).first, "x\n");
}

} // namespace
