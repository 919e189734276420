// The kscript expression language: one evaluator for parameter expressions, keyframe
// expressions and the module's kscript functions, and the expansion of text.
#include "host/kscript.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

#include "host/parms.h"
#include "model/errors.h"

namespace kalhost
{

namespace
{

// Expressions may refer to each other through ch(); deeper chains are taken to be cycles.
constexpr int MaxReferenceDepth = 64;
// Nesting (parentheses, signs, calls) deeper than this is refused rather than risking the stack.
constexpr int MaxNesting = 200;
constexpr double DegreesToRadians = 3.14159265358979323846 / 180.0;

KscriptValue number(double value) { return {KscriptValue::Number, value}; }

KscriptValue text(std::string value)
{
    KscriptValue result{KscriptValue::Text};
    result.text = std::move(value);
    return result;
}

// The variables of the language; false for a name it does not know.
bool variable(std::string const &name, KscriptContext const &context, KscriptValue *value)
{
    Clock const &clock = theScene().clock();
    if (name == "F" || name == "FF")
        *value = number(context.frame);
    else if (name == "T")
        *value = number((context.frame - 1.0) / clock.fps);
    else if (name == "FPS")
        *value = number(clock.fps);
    else if (name == "OS")
        *value = text(context.node ? context.node->name : "");
    else
        return false;
    return true;
}

class Evaluator
{
public:
    Evaluator(std::string const &text, KscriptContext const &context) : myText(text), myContext(context) {}

    KscriptValue evaluate()
    {
        KscriptValue result = comparison();
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

    bool accept(char const *token)
    {
        skipSpace();
        std::size_t const length = std::char_traits<char>::length(token);
        if (myText.compare(myPos, length, token) != 0)
            return false;
        myPos += length;
        return true;
    }

    double numberOf(KscriptValue const &value) const
    {
        if (!value.isNumeric())
            fail("a number is needed here");
        return value.number;
    }

    std::vector<double> vectorOf(KscriptValue const &value) const
    {
        if (value.kind != KscriptValue::Vector)
            fail("a vector is needed here");
        return value.vector;
    }

    // Counts the nesting of the parse while it is inside.
    struct Nested
    {
        explicit Nested(Evaluator &evaluator) : myEvaluator(evaluator)
        {
            if (++myEvaluator.myNesting > MaxNesting)
                myEvaluator.fail("nested too deeply");
        }
        ~Nested() { --myEvaluator.myNesting; }
        Evaluator &myEvaluator;
    };

    KscriptValue comparison()
    {
        Nested const nested(*this);
        KscriptValue left = sum();
        static char const *const operators[] = {"==", "!=", "<=", ">=", "<", ">"};
        for (char const *op : operators)
            if (accept(op))
            {
                KscriptValue const right = sum();
                int order = 0;
                if (left.kind == KscriptValue::Text && right.kind == KscriptValue::Text)
                    order = left.text.compare(right.text);
                else
                {
                    double const a = numberOf(left), b = numberOf(right);
                    order = a < b ? -1 : (a > b ? 1 : 0);
                }
                std::string const o = op;
                bool const holds = o == "==" ? order == 0 : o == "!=" ? order != 0 : o == "<=" ? order <= 0
                                 : o == ">=" ? order >= 0 : o == "<" ? order < 0 : order > 0;
                return number(holds ? 1.0 : 0.0);
            }
        return left;
    }

    // Numbers add, strings join, vectors add by component.
    KscriptValue combine(KscriptValue const &left, KscriptValue const &right, double sign)
    {
        if (left.kind == KscriptValue::Text && right.kind == KscriptValue::Text && sign > 0)
            return text(left.text + right.text);
        if (left.kind == KscriptValue::Vector || right.kind == KscriptValue::Vector)
        {
            std::vector<double> a = vectorOf(left);
            std::vector<double> const b = vectorOf(right);
            if (a.size() != b.size())
                fail("vectors of different sizes");
            for (std::size_t i = 0; i < a.size(); ++i)
                a[i] += sign * b[i];
            KscriptValue result{KscriptValue::Vector};
            result.vector = a;
            return result;
        }
        return number(numberOf(left) + sign * numberOf(right));
    }

    KscriptValue sum()
    {
        KscriptValue left = product();
        for (;;)
        {
            if (accept("+"))
                left = combine(left, product(), 1.0);
            else if (accept("-"))
                left = combine(left, product(), -1.0);
            else
                return left;
        }
    }

    KscriptValue scale(KscriptValue const &left, KscriptValue const &right, bool divide)
    {
        if (left.kind == KscriptValue::Vector && right.isNumeric())
        {
            double const factor = numberOf(right);
            if (divide && factor == 0.0)
                fail("division by zero");
            KscriptValue result = left;
            for (double &component : result.vector)
                component = divide ? component / factor : component * factor;
            return result;
        }
        if (!divide && right.kind == KscriptValue::Vector)
            return scale(right, left, false);
        double const a = numberOf(left), b = numberOf(right);
        if (divide && b == 0.0)
            fail("division by zero");
        return number(divide ? a / b : a * b);
    }

    KscriptValue product()
    {
        KscriptValue left = unary();
        for (;;)
        {
            if (accept("*"))
                left = scale(left, unary(), false);
            else if (accept("/"))
                left = scale(left, unary(), true);
            else if (accept("%"))
            {
                double const divisor = numberOf(unary());
                if (divisor == 0.0)
                    fail("division by zero");
                left = number(std::fmod(numberOf(left), divisor));
            }
            else
                return left;
        }
    }

    KscriptValue unary()
    {
        Nested const nested(*this);
        if (accept("-"))
            return scale(unary(), number(-1.0), false);
        if (accept("+"))
            return number(numberOf(unary()));
        return primary();
    }

    KscriptValue primary()
    {
        skipSpace();
        if (accept("("))
        {
            KscriptValue inner = comparison();
            if (!accept(")"))
                fail("missing ')'");
            return inner;
        }
        if (myPos < myText.size() && myText[myPos] == '"')
            return text(quoted());
        if (accept("$"))
        {
            std::string const name = identifier();
            KscriptValue value;
            if (name.empty() || !variable(name, myContext, &value))
                fail("unknown variable $" + name);
            return value;
        }
        if (myPos < myText.size() &&
            (std::isalpha(static_cast<unsigned char>(myText[myPos])) || myText[myPos] == '_'))
            return call(identifier());
        char const *start = myText.c_str() + myPos;
        char *end = nullptr;
        double const value = std::strtod(start, &end);
        if (end == start || !(std::isdigit(static_cast<unsigned char>(*start)) || *start == '.'))
            fail(myPos < myText.size() ? "unexpected '" + myText.substr(myPos, 1) + "'" : "unexpected end");
        myPos += end - start;
        return number(value);
    }

    std::string identifier()
    {
        std::size_t const start = myPos;
        while (myPos < myText.size() &&
               (std::isalnum(static_cast<unsigned char>(myText[myPos])) || myText[myPos] == '_'))
            ++myPos;
        return myText.substr(start, myPos - start);
    }

    // A double-quoted string; \" and \\ stand for themselves.
    std::string quoted()
    {
        ++myPos;
        std::string result;
        while (myPos < myText.size() && myText[myPos] != '"')
        {
            if (myText[myPos] == '\\' && myPos + 1 < myText.size())
                ++myPos;
            result += myText[myPos++];
        }
        if (myPos == myText.size())
            fail("unterminated string");
        ++myPos;
        return result;
    }

    KscriptValue call(std::string const &name)
    {
        if (!accept("("))
            fail("unknown name " + name);
        std::vector<KscriptValue> arguments;
        if (!accept(")"))
        {
            do
                arguments.push_back(comparison());
            while (accept(","));
            if (!accept(")"))
                fail("missing ')'");
        }
        return apply(name, arguments);
    }

    void requireCount(std::string const &name, std::vector<KscriptValue> const &arguments, std::size_t count) const
    {
        if (arguments.size() != count)
            fail(name + "() takes " + std::to_string(count) + " argument" + (count == 1 ? "" : "s"));
    }

    KscriptValue apply(std::string const &name, std::vector<KscriptValue> const &arguments)
    {
        using Function = double (*)(double);
        static std::pair<char const *, Function> const unary[] = {
            {"abs", [](double x) { return std::fabs(x); }},
            {"floor", [](double x) { return std::floor(x); }},
            {"ceil", [](double x) { return std::ceil(x); }},
            {"round", [](double x) { return std::round(x); }},
            {"sqrt", [](double x) { return std::sqrt(x); }},
            {"sin", [](double x) { return std::sin(x * DegreesToRadians); }},
            {"cos", [](double x) { return std::cos(x * DegreesToRadians); }},
        };
        for (auto const &[functionName, function] : unary)
            if (name == functionName)
            {
                requireCount(name, arguments, 1);
                return number(function(numberOf(arguments[0])));
            }
        if (name == "min" || name == "max" || name == "pow")
        {
            requireCount(name, arguments, 2);
            double const a = numberOf(arguments[0]), b = numberOf(arguments[1]);
            return number(name == "min" ? std::fmin(a, b) : name == "max" ? std::fmax(a, b) : std::pow(a, b));
        }
        if (name == "ch" || name == "chs")
        {
            requireCount(name, arguments, 1);
            if (arguments[0].kind != KscriptValue::Text)
                fail(name + "() takes a path");
            KscriptValue value = reference(arguments[0].text);
            if (name == "chs" && value.kind != KscriptValue::Text)
                return text(formatNumber(value.number));
            return value;
        }
        if (name == "strlen")
        {
            requireCount(name, arguments, 1);
            if (arguments[0].kind != KscriptValue::Text)
                fail("strlen() takes a string");
            return number(static_cast<double>(arguments[0].text.size()));
        }
        if (name == "vector")
        {
            KscriptValue result{KscriptValue::Vector};
            for (auto const &argument : arguments)
                result.vector.push_back(numberOf(argument));
            return result;
        }
        if (name == "matrix")
        {
            KscriptValue result{KscriptValue::Matrix};
            for (auto const &argument : arguments)
                result.matrix.push_back(vectorOf(argument));
            return result;
        }
        if (name == "identity")
        {
            requireCount(name, arguments, 1);
            double const size = numberOf(arguments[0]);
            if (!(size >= 0.0 && size <= 16.0) || size != std::floor(size))
                fail("identity() takes a size from 0 to 16");
            KscriptValue result{KscriptValue::Matrix};
            std::size_t const n = static_cast<std::size_t>(size);
            result.matrix.assign(n, std::vector<double>(n, 0.0));
            for (std::size_t i = 0; i < n; ++i)
                result.matrix[i][i] = 1.0;
            return result;
        }
        if (name == "double" || name == "int")
        {
            requireCount(name, arguments, 1);
            double const value = numberOf(arguments[0]);
            if (name == "int" && !(std::fabs(value) < 2147483648.0))
                fail("int() out of range");
            return {name == "int" ? KscriptValue::Int : KscriptValue::Double,
                    name == "int" ? std::trunc(value) : value};
        }
        if (name == "nothing")
        {
            requireCount(name, arguments, 0);
            return {KscriptValue::Nothing};
        }
        fail("unknown function " + name + "()");
    }

    // "path/parm": a parameter of the node at path, relative to the expression's node; a bare
    // name is a parameter of that node.
    KscriptValue reference(std::string const &path)
    {
        if (myContext.depth >= MaxReferenceDepth)
            fail("parameter references form a cycle");
        std::size_t const slash = path.rfind('/');
        std::string const nodePath = slash == std::string::npos ? "." : path.substr(0, slash);
        auto const node = theScene().find(nodePath.empty() ? "/" : nodePath, myContext.node);
        if (!node)
            fail("no parameter " + path);
        KscriptValue value;
        if (!referencedParmValue(node, path.substr(slash + 1), myContext.frame, myContext.depth + 1, &value))
            fail("no parameter " + path);
        return value;
    }

    std::string const &myText;
    KscriptContext const &myContext;
    std::size_t myPos = 0;
    int myNesting = 0;
};

} // namespace

KscriptValue evalKscript(std::string const &expression, KscriptContext const &context)
{
    return Evaluator(expression, context).evaluate();
}

std::string expandKscriptString(std::string const &text, KscriptContext const &context)
{
    std::string expanded;
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        char const c = text[i];
        if (c == '`')
        {
            std::size_t const close = text.find('`', i + 1);
            if (close == std::string::npos)
                throw KOM_OperationFailed(("Unmatched ` in \"" + text + "\"").c_str());
            KscriptValue const value = evalKscript(text.substr(i + 1, close - i - 1), context);
            expanded += value.kind == KscriptValue::Text ? value.text : formatNumber(value.number);
            i = close;
            continue;
        }
        if (c != '$')
        {
            expanded += c;
            continue;
        }
        bool const braced = i + 1 < text.size() && text[i + 1] == '{';
        std::size_t const start = i + (braced ? 2 : 1);
        std::size_t end = start;
        while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '_'))
            ++end;
        if (braced && (end >= text.size() || text[end] != '}'))
        {
            expanded += c;
            continue;
        }
        std::string const name = text.substr(start, end - start);
        KscriptValue value;
        if (name.empty() || !variable(name, context, &value))
        {
            expanded += c; // not a variable of the language: kept as written
            continue;
        }
        // Frames show as whole numbers in text; the other variables as they are.
        if (name == "F")
            expanded += formatNumber(std::round(value.number));
        else
            expanded += value.kind == KscriptValue::Text ? value.text : formatNumber(value.number);
        i = end - 1 + (braced ? 1 : 0);
    }
    return expanded;
}

KscriptContext sceneContext() { return {theScene().pwd(), theScene().clock().frame(), 0}; }

} // namespace kalhost
