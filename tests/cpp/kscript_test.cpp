// kscript in the host: the evaluator's values and errors, expansion, and commands.
#include <gtest/gtest.h>

#include "host/host.h"
#include "host/kscript.h"
#include "model/errors.h"
#include "tests/cpp/network_fixture.h"

using namespace kalhost;

namespace
{

class Kscript : public FreshHost
{
protected:
    KscriptValue eval(std::string const &expression, double frame = 1.0)
    {
        return evalKscript(expression, {theScene().root(), frame, 0});
    }
};

} // namespace

TEST_F(Kscript, PrecedenceAndKinds)
{
    EXPECT_DOUBLE_EQ(eval("1 + 2 * 3 - -4 / 2").number, 9.0);
    EXPECT_DOUBLE_EQ(eval("(1 + 2) * 3 == 9").number, 1.0);
    EXPECT_DOUBLE_EQ(eval("$F * 2", 7.5).number, 15.0);
    EXPECT_DOUBLE_EQ(eval("$T", 25.0).number, 1.0);
    EXPECT_EQ(eval("\"a\" + \"b\"").text, "ab");
    EXPECT_EQ(eval("vector(1, 2) - vector(1, 1)").vector, (std::vector<double>{0.0, 1.0}));
    EXPECT_EQ(eval("identity(3)").matrix.size(), 3u);
    EXPECT_EQ(eval("int(2.9)").kind, KscriptValue::Int);
    EXPECT_DOUBLE_EQ(eval("int(2.9)").number, 2.0);
    EXPECT_EQ(eval("nothing()").kind, KscriptValue::Nothing);
}

TEST_F(Kscript, ErrorsAreOperationFailed)
{
    for (char const *bad : {"", "1 +", "(1", "1 2", "\"a\" * 2", "vector(1) + vector(1, 2)", "sin()",
                            "identity(-1)", "int(1e20)", "$NOPE", "foo", "ch(1)"})
        EXPECT_THROW(eval(bad), KOM_OperationFailed) << bad;
    // Deep nesting is refused, not followed down the stack.
    EXPECT_THROW(eval(std::string(100000, '(') + "1"), KOM_OperationFailed);
    EXPECT_THROW(eval(std::string(100000, '-') + "1"), KOM_OperationFailed);
}

TEST_F(Kscript, ExpansionKeepsWhatIsNoVariable)
{
    KscriptContext const context{theScene().root(), 12.4, 0};
    EXPECT_EQ(expandKscriptString("f$F t${FPS} $ $$ $UNKNOWN `2*3`", context), "f12 t24 $ $$ $UNKNOWN 6");
    EXPECT_THROW(expandKscriptString("`1", context), KOM_OperationFailed);
}

TEST_F(Kscript, CommandsChangeTheSceneAndReportFailures)
{
    auto const result = runKscript("cd /obj\nopadd geo 'my geo'; opadd geo g; opparm g tx 2; oprm /obj");
    ASSERT_EQ(result.size(), 2u);
    EXPECT_EQ(result[0], "g\n");
    EXPECT_NE(result[1].find("Invalid node name"), std::string::npos) << result[1];
    EXPECT_NE(result[1].find("Cannot remove /obj"), std::string::npos) << result[1];
    EXPECT_TRUE(theScene().find("/obj/g", theScene().root()));
    EXPECT_EQ(runKscript("echo \"unmatched")[1], "Unmatched \" in: echo \"unmatched\n");
    EXPECT_THROW(kscriptHelp("nothing"), KOM_NotAvailable);
}
