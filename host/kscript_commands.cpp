// kscript commands: a small command set over the scene, each with its help text.
#include "host/kscript.h"

#include <cctype>
#include <cmath>
#include <sstream>

#include "host/parms.h"
#include "model/errors.h"

namespace kalhost
{

namespace
{

using Arguments = std::vector<std::string>;

struct Command
{
    char const *name;
    char const *help;
    // Writes to `out`; throws KOM_Error (or a subclass) to report a failure.
    void (*run)(Arguments const &arguments, std::string &out);
};

std::shared_ptr<SceneNode> nodeAt(std::string const &path)
{
    auto node = theScene().find(path, theScene().pwd());
    if (!node)
        throw KOM_OperationFailed(("No node " + path).c_str());
    return node;
}

void requireCount(Arguments const &arguments, std::size_t least, std::size_t most, char const *usage)
{
    if (arguments.size() < least || arguments.size() > most)
        throw KOM_OperationFailed((std::string("Usage: ") + usage).c_str());
}

void echo(Arguments const &arguments, std::string &out)
{
    for (std::size_t i = 0; i < arguments.size(); ++i)
        out += (i ? " " : "") + arguments[i];
    out += "\n";
}

void pwd(Arguments const &arguments, std::string &out)
{
    requireCount(arguments, 0, 0, "pwd");
    out += theScene().pwd()->path() + "\n";
}

void cd(Arguments const &arguments, std::string &)
{
    requireCount(arguments, 1, 1, "cd path");
    theScene().setPwd(nodeAt(arguments[0]));
}

void ls(Arguments const &arguments, std::string &out)
{
    requireCount(arguments, 0, 1, "ls [path]");
    auto const network = arguments.empty() ? theScene().pwd() : nodeAt(arguments[0]);
    for (auto const &child : network->children)
        out += child->name + "\n";
}

void opadd(Arguments const &arguments, std::string &out)
{
    requireCount(arguments, 1, 2, "opadd type [name]");
    auto const network = theScene().pwd();
    if (!network->holdsNetwork())
        throw KOM_OperationFailed((network->path() + " holds no network").c_str());
    auto const node = theScene().create(network, arguments[0], arguments.size() > 1 ? arguments[1].c_str() : nullptr);
    out += node->name + "\n";
}

void oprm(Arguments const &arguments, std::string &)
{
    requireCount(arguments, 1, 64, "oprm name...");
    for (auto const &name : arguments)
    {
        auto const node = nodeAt(name);
        if (node->parent.lock() == theScene().root() || node->isInsideLockedAsset())
            throw KOM_OperationFailed(("Cannot remove " + node->path()).c_str());
        theScene().destroy(node);
    }
}

// Numbers for numeric parameters, text for string ones; a tuple takes one value per component.
void opparm(Arguments const &arguments, std::string &)
{
    requireCount(arguments, 3, 18, "opparm node parm value...");
    auto const node = nodeAt(arguments[0]);
    Arguments const values(arguments.begin() + 2, arguments.end());
    std::vector<std::pair<std::shared_ptr<SceneParmTuple>, int>> targets;
    if (auto const tuple = findTuple(*node, arguments[1]))
    {
        if (values.size() != tuple->parms.size())
            throw KOM_OperationFailed(("Give " + std::to_string(tuple->parms.size()) + " values for " +
                                       arguments[1]).c_str());
        for (std::size_t i = 0; i < tuple->parms.size(); ++i)
            targets.emplace_back(tuple, static_cast<int>(i));
    }
    else
    {
        auto const found = findParm(*node, arguments[1]);
        if (!found.first || values.size() != 1)
            throw KOM_OperationFailed(("No parameter " + arguments[1] + " of one component on " + node->path()).c_str());
        targets.push_back(found);
    }
    // Every value is checked before the first one changes.
    std::vector<double> numbers;
    for (std::size_t i = 0; i < targets.size(); ++i)
    {
        if (targets[i].first->info.dataType == KOM_StringParmData)
            continue;
        std::istringstream in(values[i]);
        double number = 0.0;
        if (!(in >> number) || !(in >> std::ws).eof())
            throw KOM_OperationFailed(("Not a number: " + values[i]).c_str());
        numbers.push_back(number);
    }
    for (auto const &[tuple, index] : targets)
        requireUnlocked(tuple->parms[index]);
    std::size_t next = 0;
    for (std::size_t i = 0; i < targets.size(); ++i)
    {
        auto const &[tuple, index] = targets[i];
        if (tuple->info.dataType == KOM_StringParmData)
            assignText(*tuple, tuple->parms[index], values[i], false);
        else
            assignNumber(*tuple, tuple->parms[index], numbers[next++], false);
    }
}

void fcur(Arguments const &arguments, std::string &out)
{
    requireCount(arguments, 0, 1, "fcur [frame]");
    Clock &clock = theScene().clock();
    if (arguments.empty())
    {
        out += formatNumber(clock.frame()) + "\n";
        return;
    }
    std::istringstream in(arguments[0]);
    double frame = 0.0;
    if (!(in >> frame) || !(in >> std::ws).eof() || !(std::fabs(frame) < 1e9))
        throw KOM_OperationFailed(("Not a frame: " + arguments[0]).c_str());
    clock.time = clock.frameToTime(static_cast<float>(frame));
}

void help(Arguments const &arguments, std::string &out);

Command const theCommands[] = {
    {"cd", "cd path\n    Makes the node at path the current network.", cd},
    {"echo", "echo text...\n    Prints its arguments, variables expanded.", echo},
    {"fcur", "fcur [frame]\n    Prints the current frame, or goes to the frame given.", fcur},
    {"help", "help [command]\n    Lists the commands, or prints the help of one.", help},
    {"ls", "ls [path]\n    Lists the nodes in the current network, or in the one at path.", ls},
    {"opadd", "opadd type [name]\n    Creates a node of that type in the current network and prints its name.",
     opadd},
    {"opparm", "opparm node parm value...\n    Sets a parameter, or every component of a parameter tuple.",
     opparm},
    {"oprm", "oprm name...\n    Removes the nodes, with their contents.", oprm},
    {"pwd", "pwd\n    Prints the path of the current network.", pwd},
};

Command const *findCommand(std::string const &name)
{
    for (auto const &command : theCommands)
        if (name == command.name)
            return &command;
    return nullptr;
}

void help(Arguments const &arguments, std::string &out)
{
    requireCount(arguments, 0, 1, "help [command]");
    if (arguments.empty())
    {
        for (auto const &command : theCommands)
            out += std::string(command.name) + "\n";
        return;
    }
    out += kscriptHelp(arguments[0]) + "\n";
}

// Words separated by blanks; double quotes group and expand variables, single quotes keep
// the text as written. Throws KOM_OperationFailed for an unmatched quote.
Arguments words(std::string const &line, KscriptContext const &context)
{
    Arguments result;
    std::size_t i = 0;
    while (true)
    {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        if (i == line.size())
            return result;
        std::string word;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
        {
            char const quote = line[i];
            if (quote == '"' || quote == '\'')
            {
                std::size_t const close = line.find(quote, i + 1);
                if (close == std::string::npos)
                    throw KOM_OperationFailed(("Unmatched " + std::string(1, quote) + " in: " + line).c_str());
                std::string const inner = line.substr(i + 1, close - i - 1);
                word += quote == '"' ? expandKscriptString(inner, context) : inner;
                i = close + 1;
                continue;
            }
            std::size_t end = i;
            while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end])) && line[end] != '"' &&
                   line[end] != '\'')
                ++end;
            word += expandKscriptString(line.substr(i, end - i), context);
            i = end;
        }
        result.push_back(word);
    }
}

// Lines split at newlines and at ';' outside quotes.
std::vector<std::string> lines(std::string const &commands)
{
    std::vector<std::string> result(1);
    char quote = 0;
    for (char c : commands)
    {
        if (quote)
            quote = c == quote ? 0 : quote;
        else if (c == '"' || c == '\'')
            quote = c;
        else if (c == ';' || c == '\n')
        {
            result.emplace_back();
            continue;
        }
        result.back() += c;
    }
    return result;
}

} // namespace

std::vector<std::string> runKscript(std::string const &commands)
{
    std::string out, errors;
    for (auto const &line : lines(commands))
    {
        try
        {
            Arguments arguments = words(line, sceneContext());
            if (arguments.empty())
                continue;
            Command const *command = findCommand(arguments[0]);
            if (!command)
            {
                errors += "Unknown command: " + arguments[0] + "\n";
                continue;
            }
            arguments.erase(arguments.begin());
            command->run(arguments, out);
        }
        catch (KOM_Error const &error)
        {
            errors += error.instanceMessage() + "\n";
        }
    }
    return {out, errors};
}

std::string kscriptHelp(std::string const &commandName)
{
    Command const *command = findCommand(commandName);
    if (!command)
        throw KOM_NotAvailable(("No command " + commandName).c_str());
    return command->help;
}

} // namespace kalhost
