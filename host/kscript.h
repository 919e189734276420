// kscript in the reference host: the one evaluator of parameter expressions and of the
// module's kscript functions, string expansion, and the command set.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/scene.h"

namespace kalhost
{

// What an expression gives. Double, Int and Nothing exist so that scripts can see results the
// binding does not convert (double(x), int(x), nothing()); arithmetic takes them as numbers.
struct KscriptValue
{
    enum Kind
    {
        Number,
        Text,
        Vector,
        Matrix,
        Double,
        Int,
        Nothing,
    };
    Kind kind = Number;
    double number = 0.0;
    std::string text;
    std::vector<double> vector;
    std::vector<std::vector<double>> matrix;

    bool isNumeric() const { return kind == Number || kind == Double || kind == Int; }
};

// Where an expression runs: relative paths start at `node`; $F and friends read `frame`.
// `depth` counts the ch() references being followed, to stop cycles.
struct KscriptContext
{
    std::shared_ptr<SceneNode> node;
    double frame;
    int depth = 0;
};

// Throws KOM_OperationFailed for a syntax error or a failing evaluation.
KscriptValue evalKscript(std::string const &expression, KscriptContext const &context);

// Replaces $NAME, ${NAME} and `expression` in text; unknown variables stay as written.
std::string expandKscriptString(std::string const &text, KscriptContext const &context);

// The current node and frame of the scene.
KscriptContext sceneContext();

// Runs commands separated by ';' or newlines: the standard output, then the error output.
std::vector<std::string> runKscript(std::string const &commands);

// Throws KOM_NotAvailable for a command that does not exist.
std::string kscriptHelp(std::string const &commandName);

} // namespace kalhost
