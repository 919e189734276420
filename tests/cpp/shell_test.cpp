// The shell's output, its listener and interrupts, as the host keeps them (its queued input
// is read through the module in tests/python/test_shell.py).
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
