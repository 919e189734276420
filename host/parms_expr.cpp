// The expression language and evaluation of parameters: expressions, keyframes, $F.
#include "host/parms.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <functional>
#include <stdexcept>

#include "host/journal.h"
#include "host/nodes.h"
#include "model/enums.h"
#include "model/errors.h"

namespace kalhost
{

namespace
{

// Expressions may refer to each other through ch(); deeper chains are taken to be cycles.
constexpr int MaxReferenceDepth = 64;

struct Value
{
    bool isText = false;
    double number = 0.0;
    std::string text;
};

Value evalParmValue(std::shared_ptr<SceneNode> const &node, SceneParmTuple const &tuple,
                    SceneParm const &parm, double frame, int depth);

// The tiny expression language: numbers, + - * /, parentheses, $F (the frame) and
// ch("path") (another parameter, relative to the expression's node).
class ExpressionEvaluator
{
public:
    ExpressionEvaluator(std::string const &text, std::shared_ptr<SceneNode> const &node, double frame,
                        int depth)
        : myText(text), myNode(node), myFrame(frame), myDepth(depth)
    {
    }

    Value evaluate()
    {
        Value result = sum();
        skipSpace();
        if (myPos != myText.size())
            fail("unexpected '" + myText.substr(myPos, 1) + "'");
        return result;
    }

private:
    [[noreturn]] void fail(std::string const &why) const
    {
        throw KOM_OperationFailed(("Error in expression \"" + myText + "\": " + why).c_str());
    }

    void skipSpace()
    {
        while (myPos < myText.size() && std::isspace(static_cast<unsigned char>(myText[myPos])))
            ++myPos;
    }

    bool accept(char c)
    {
        skipSpace();
        if (myPos < myText.size() && myText[myPos] == c)
        {
            ++myPos;
            return true;
        }
        return false;
    }

    double numberOf(Value const &value) const
    {
        if (value.isText)
            fail("a string takes no part in arithmetic");
        return value.number;
    }

    Value sum()
    {
        Value left = product();
        for (;;)
        {
            if (accept('+'))
                left = {false, numberOf(left) + numberOf(product())};
            else if (accept('-'))
                left = {false, numberOf(left) - numberOf(product())};
            else
                return left;
        }
    }

    Value product()
    {
        Value left = unary();
        for (;;)
        {
            if (accept('*'))
                left = {false, numberOf(left) * numberOf(unary())};
            else if (accept('/'))
            {
                double const divisor = numberOf(unary());
                if (divisor == 0.0)
                    fail("division by zero");
                left = {false, numberOf(left) / divisor};
            }
            else
                return left;
        }
    }

    Value unary()
    {
        if (accept('-'))
            return {false, -numberOf(unary())};
        if (accept('+'))
            return {false, numberOf(unary())};
        return primary();
    }

    Value primary()
    {
        skipSpace();
        if (accept('('))
        {
            Value inner = sum();
            if (!accept(')'))
                fail("missing ')'");
            return inner;
        }
        if (myText.compare(myPos, 2, "$F") == 0)
        {
            myPos += 2;
            return {false, myFrame};
        }
        if (myText.compare(myPos, 2, "ch") == 0)
        {
            myPos += 2;
            return reference();
        }
        char const *start = myText.c_str() + myPos;
        char *end = nullptr;
        double const number = std::strtod(start, &end);
        if (end == start || !(std::isdigit(static_cast<unsigned char>(*start)) || *start == '.'))
            fail(myPos < myText.size() ? "unexpected '" + myText.substr(myPos, 1) + "'"
                                       : "unexpected end");
        myPos += end - start;
        return {false, number};
    }

    Value reference()
    {
        if (!accept('(') || !accept('"'))
            fail("ch takes a quoted path");
        std::size_t const close = myText.find('"', myPos);
        if (close == std::string::npos)
            fail("unterminated string");
        std::string const path = myText.substr(myPos, close - myPos);
        myPos = close + 1;
        if (!accept(')'))
            fail("missing ')'");
        if (myDepth >= MaxReferenceDepth)
            fail("parameter references form a cycle");

        std::size_t const slash = path.rfind('/');
        std::string const nodePath = slash == std::string::npos ? "." : path.substr(0, slash);
        auto const node = theScene().find(nodePath.empty() ? "/" : nodePath, myNode);
        auto const [tuple, index] = node ? findParm(*node, path.substr(slash + 1))
                                         : std::pair<std::shared_ptr<SceneParmTuple>, int>{nullptr, -1};
        if (!tuple)
            fail("no parameter " + path);
        return evalParmValue(node, *tuple, tuple->parms[index], myFrame, myDepth + 1);
    }

    std::string const &myText;
    std::shared_ptr<SceneNode> const &myNode;
    double myFrame;
    int myDepth;
    std::size_t myPos = 0;
};

// Linear between keyframes, constant outside them; string keyframes hold until the next.
Value keyframedValue(SceneParmTuple const &tuple, std::vector<SceneKeyframe> const &keys, double frame)
{
    std::size_t next = 0;
    while (next < keys.size() && keys[next].frame <= frame)
        ++next;
    if (tuple.info.dataType == KOM_StringParmData)
        return {true, 0.0, keys[next == 0 ? 0 : next - 1].text};
    if (next == 0)
        return {false, keys.front().value};
    if (next == keys.size())
        return {false, keys.back().value};
    SceneKeyframe const &a = keys[next - 1];
    SceneKeyframe const &b = keys[next];
    return {false, a.value + (b.value - a.value) * (frame - a.frame) / (b.frame - a.frame)};
}

// Plain string values expand $F to the frame number.
std::string expandVariables(std::string const &text, double frame)
{
    std::string expanded;
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        if (text.compare(i, 2, "$F") == 0)
        {
            expanded += formatNumber(std::round(frame));
            ++i;
        }
        else
            expanded += text[i];
    }
    return expanded;
}

Value evalParmValue(std::shared_ptr<SceneNode> const &node, SceneParmTuple const &tuple,
                    SceneParm const &parm, double frame, int depth)
{
    if (!parm.expression.empty())
        return ExpressionEvaluator(parm.expression, node, frame, depth).evaluate();
    if (!parm.keyframes.empty())
        return keyframedValue(tuple, parm.keyframes, frame);
    if (tuple.info.dataType == KOM_StringParmData)
        return {true, 0.0, expandVariables(parm.text, frame)};
    return {false, parm.number};
}

} // namespace

double evalNumber(Located const &at, double frame)
{
    if (at.tuple->info.dataType == KOM_StringParmData)
        throw KOM_TypeError("The parameter holds strings");
    Value const value = evalParmValue(at.node, *at.tuple, at.parm, frame, 0);
    if (value.isText)
        throw KOM_TypeError("The expression gives a string");
    return at.tuple->info.dataType == KOM_IntParmData ? std::round(value.number) : value.number;
}

std::string evalText(Located const &at, double frame)
{
    if (at.tuple->info.dataType != KOM_StringParmData)
        throw KOM_TypeError("The parameter holds numbers");
    Value const value = evalParmValue(at.node, *at.tuple, at.parm, frame, 0);
    return value.isText ? value.text : formatNumber(value.number);
}

} // namespace kalhost
