// What the scene file holds, part by part: each row of the tables at the end names a part's
// keyword and the two functions that write and read it. A family adds its state here.
#include <algorithm>
#include <cmath>
#include <iterator>

#include "host/keyframes.h"
#include "host/nodes.h"
#include "host/parms.h"
#include "host/scenefile.h"
#include "model/errors.h"
#include "model/parms.h"

namespace kalhost
{

namespace
{

// --- the node itself ---

void writePosition(SceneNode const &node, SceneLineWriter &out)
{
    auto const &at = node.position();
    if (at[0] != 0.0f || at[1] != 0.0f)
        out.line("at").number(at[0]).number(at[1]);
}

void readPosition(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneReading &)
{
    float const x = line.floatNumber();
    Scene::place(*node, x, line.floatNumber());
}

void writeColor(SceneNode const &node, SceneLineWriter &out)
{
    static SceneNode const fresh; // a new node's colour
    if (!std::equal(node.color, node.color + 3, fresh.color))
        out.line("color").number(node.color[0]).number(node.color[1]).number(node.color[2]);
}

void readColor(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneReading &)
{
    for (float &channel : node->color)
        channel = line.floatNumber();
}

void writeComment(SceneNode const &node, SceneLineWriter &out)
{
    if (!node.comment.empty())
        out.line("comment").text(node.comment);
}

void readComment(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneReading &)
{
    node->comment = line.text();
}

void writeLanguage(SceneNode const &node, SceneLineWriter &out)
{
    if (node.expressionLanguage)
        out.line("language").enumValue(node.expressionLanguage);
}

void readLanguage(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneReading &)
{
    node->expressionLanguage = line.enumValue();
    if (node->expressionLanguage && !isOfEnumeration(*node->expressionLanguage, typeid(KOM_exprLanguage)))
        line.fail("not an expression language");
}

void writeSelected(SceneNode const &node, SceneLineWriter &out)
{
    if (node.isSelected())
        out.line("selected");
}

void readSelected(std::shared_ptr<SceneNode> const &node, SceneLineReader &, SceneReading &)
{
    Scene::select(*node, true);
}

// The child a network shows as current.
void writeCurrent(SceneNode const &node, SceneLineWriter &out)
{
    if (auto const child = node.currentChild.lock(); child && child->parent.lock().get() == &node)
        out.line("current").word(child->name);
}

void readCurrent(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneReading &reading)
{
    std::string const name = line.word();
    reading.later([node, name]() {
        auto const child = node->child(name);
        if (!child)
            throw KOM_OperationFailed(("The current node " + name + " of " + node->name + " is missing").c_str());
        node->currentChild = child;
    });
}

// Wires: "input <slot> node <source> <output>" from a sibling, "input <slot> subnet <index>"
// from the enclosing subnet's input.
void writeInputs(SceneNode const &node, SceneLineWriter &out)
{
    auto const &inputs = node.inputs();
    for (std::size_t slot = 0; slot < inputs.size(); ++slot)
    {
        auto const source = inputs[slot].node.lock();
        if (!source)
            continue;
        out.line("input").integer(static_cast<long long>(slot));
        if (inputs[slot].indirect)
            out.word("subnet").integer(inputs[slot].outputIndex);
        else
            out.word("node").word(source->name).integer(inputs[slot].outputIndex);
    }
}

void readInput(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneReading &reading)
{
    constexpr long long MaxInputs = 9999;
    long long const slot = line.integer();
    if (slot < 0 || slot > MaxInputs)
        line.fail("input slot out of range");
    std::string const kind = line.word();
    SceneNode::Input input;
    std::string sourceName;
    if (kind == "subnet")
        input.indirect = true;
    else if (kind == "node")
        sourceName = line.word();
    else
        line.fail("an input comes from a node or the subnet, not " + kind);
    long long const index = line.integer();
    if (index < 0 || index > MaxInputs)
        line.fail("output index out of range");
    input.outputIndex = static_cast<int>(index);
    // Sources may come later in the text: wires are made once every node exists.
    reading.later([node, input, sourceName, slot]() mutable {
        auto const network = node->parent.lock();
        std::shared_ptr<SceneNode> source;
        if (input.indirect)
        {
            if (!network || !network->isSubnet())
                throw KOM_OperationFailed((node->name + " is not inside a subnet").c_str());
            source = network;
        }
        else
        {
            source = network ? network->child(sourceName) : nullptr;
            if (!source)
                throw KOM_OperationFailed(("The input " + sourceName + " of " + node->name + " is missing").c_str());
            if (Scene::wouldLoop(*node, *source))
                throw KOM_OperationFailed(("The input " + sourceName + " of " + node->name + " makes a loop").c_str());
        }
        input.node = source;
        theScene().connect(*node, static_cast<int>(slot), input, false);
    });
}

// "flags <name>..." naming every flag that is on, when they differ from a new node's.
struct FlagName
{
    char const *name;
    std::uint32_t bit;
};
constexpr FlagName FlagNames[] = {
    {"display", FlagDisplay},     {"selectable", FlagSelectable},
    {"origin", FlagShowOrigin},   {"xray", FlagXray},
    {"bypass", FlagBypass},       {"template", FlagTemplate},
    {"selectable-template", FlagSelectableTemplate},
    {"highlight", FlagHighlight}, {"soft-lock", FlagSoftLock},
    {"hard-lock", FlagHardLock},  {"unload", FlagUnload},
    {"audio", FlagAudio},         {"export", FlagExport}};

void writeFlags(SceneNode const &node, SceneLineWriter &out)
{
    if (node.flags == DefaultFlags)
        return;
    out.line("flags");
    for (auto const &flag : FlagNames)
        if (node.flags & flag.bit)
            out.word(flag.name);
}

void readFlags(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneReading &)
{
    node->flags = 0;
    while (!line.atEnd())
    {
        std::string const name = line.word();
        auto const found = std::find_if(std::begin(FlagNames), std::end(FlagNames),
                                        [&name](FlagName const &flag) { return name == flag.name; });
        if (found == std::end(FlagNames))
            line.fail("no flag named " + name);
        node->flags |= found->bit;
    }
}

// An object's pre-transform, row by row, unless it is the identity.
void writePreTransform(SceneNode const &node, SceneLineWriter &out)
{
    if (!node.preTransform)
        return;
    auto const &m = node.preTransform->m;
    bool identity = true;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            identity = identity && m[row][column] == (row == column ? 1.0 : 0.0);
    if (identity)
        return;
    out.line("pre-transform");
    for (auto const &row : m)
        for (double value : row)
            out.number(value);
}

void readPreTransform(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneReading &)
{
    if (node->type->categoryCode != KOM_ObjectCategory)
        line.fail(node->name + " is not an object");
    auto transform = std::make_shared<SceneTransform>();
    for (auto &row : transform->m)
        for (double &value : row)
            value = line.number();
    node->preTransform = std::move(transform);
}

// The display and render nodes a script chose: "display node <child>", or "display none"
// when it turned the flag off. Networks that were never told keep choosing their last child.
void writeChosen(SceneNode const &node, SceneLineWriter &out, SceneChosenChild const &choice,
                 char const *keyword, std::shared_ptr<SceneNode> (*current)(SceneNode const &))
{
    if (!choice.chosen)
        return;
    if (isTurnedOff(choice))
        out.line(keyword).word("none");
    else if (auto const shown = current(node); shown && shown == choice.node.lock())
        out.line(keyword).word("node").word(shown->name);
    // else the chosen node is gone and the network falls back to its last child, as a new one does
}

void readChosen(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneReading &reading,
                SceneChosenChild SceneNode::*which)
{
    std::string const kind = line.word();
    if (kind == "none")
    {
        (*node).*which = {{}, true};
        return;
    }
    if (kind != "node")
        line.fail("a chosen child is a node or none, not " + kind);
    std::string const name = line.word();
    reading.later([node, name, which]() {
        auto const child = node->child(name);
        if (!child)
            throw KOM_OperationFailed(("The chosen node " + name + " of " + node->name + " is missing").c_str());
        (*node).*which = {child, true};
    });
}

void writeDisplay(SceneNode const &node, SceneLineWriter &out)
{
    writeChosen(node, out, node.displayChild, "display", displayedChild);
}

void readDisplay(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneReading &reading)
{
    readChosen(node, line, reading, &SceneNode::displayChild);
}

void writeRender(SceneNode const &node, SceneLineWriter &out)
{
    writeChosen(node, out, node.renderChild, "render", renderedChild);
}

void readRender(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneReading &reading)
{
    readChosen(node, line, reading, &SceneNode::renderChild);
}

// A digital asset's name and whether its contents may be edited.
void writeAsset(SceneNode const &node, SceneLineWriter &out)
{
    if (!node.assetName.empty())
        out.line("asset").text(node.assetName).word(node.assetEditable ? "editable" : "locked");
}

void readAsset(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneReading &)
{
    node->assetName = line.text();
    std::string const state = line.word();
    if (node->assetName.empty() || !node->holdsNetwork())
        line.fail(node->name + " cannot be a digital asset");
    if (state != "editable" && state != "locked")
        line.fail("an asset is editable or locked, not " + state);
    node->assetEditable = state == "editable";
}

// "box <name> <x> <y>", then the fields that differ from a new box's: "size <w> <h>",
// "color <r> <g> <b>", "minimized", "picked", "nodes <count> <child>...".
void writeBoxes(SceneNode const &node, SceneLineWriter &out)
{
    static SceneNetworkBox const fresh;
    for (auto const &box : node.networkBoxes)
    {
        out.line("box").text(box->name).number(box->position[0]).number(box->position[1]);
        if (box->size[0] != fresh.size[0] || box->size[1] != fresh.size[1])
            out.word("size").number(box->size[0]).number(box->size[1]);
        if (!std::equal(box->color, box->color + 3, fresh.color))
            out.word("color").number(box->color[0]).number(box->color[1]).number(box->color[2]);
        if (box->minimized)
            out.word("minimized");
        if (box->picked)
            out.word("picked");
        auto const members = boxMembers(node, *box);
        if (members.empty())
            continue;
        out.word("nodes").integer(static_cast<long long>(members.size()));
        for (auto const &member : members)
            out.word(member->name);
    }
}

void readBox(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneReading &reading)
{
    auto box = std::make_shared<SceneNetworkBox>();
    box->name = line.text();
    try
    {
        checkBoxName(*node, box->name, nullptr);
    }
    catch (KOM_Error const &error)
    {
        line.fail(error.instanceMessage());
    }
    box->position[0] = line.floatNumber();
    box->position[1] = line.floatNumber();
    std::vector<std::string> members;
    while (!line.atEnd())
    {
        std::string const field = line.word();
        if (field == "size")
        {
            box->size[0] = line.floatNumber();
            box->size[1] = line.floatNumber();
            if (!(box->size[0] >= 0.0f && box->size[1] >= 0.0f))
                line.fail("a network box of negative size");
        }
        else if (field == "color")
            for (float &channel : box->color)
                channel = line.floatNumber();
        else if (field == "minimized")
            box->minimized = true;
        else if (field == "picked")
            box->picked = true;
        else if (field == "nodes")
            for (int count = line.count(); count > 0; --count)
                members.push_back(line.word());
        else
            line.fail("a network box has no field " + field);
    }
    // Members are entries after the network's own.
    if (!members.empty())
        reading.later([node, box, members = std::move(members)]() {
            for (auto const &name : members)
            {
                auto const member = node->child(name);
                if (!member)
                    throw KOM_OperationFailed(("The node " + name + " of network box " + box->name +
                                               " is missing").c_str());
                putInBox(box, member);
            }
        });
    node->networkBoxes.push_back(std::move(box));
}

// --- parameters ---

// Calls `visit(tuple, parm, index)` for each parameter whose state differs from a new one's.
template <class Visit>
void forEachParm(SceneNode const &node, Visit visit)
{
    for (auto const &tuple : node.parmTuples)
        for (std::size_t index = 0; index < tuple->parms.size(); ++index)
            visit(*tuple, tuple->parms[index], index);
}

SceneParm &parmNamed(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneParmTuple **tuple = nullptr)
{
    std::string const name = line.word();
    auto const [found, index] = findParm(*node, name);
    if (!found || index < 0)
        line.fail(node->name + " has no parameter " + name);
    if (tuple)
        *tuple = found.get();
    return found->parms[static_cast<std::size_t>(index)];
}

// A spare tuple's template: "spare <name> <data type> <field> <values>..." with the fields
// that differ from a new template's.
void writeSpare(SceneNode const &node, SceneLineWriter &out)
{
    for (auto const &tuple : node.parmTuples)
    {
        if (!tuple->spare)
            continue;
        ParmTupleInfo const &info = tuple->info;
        out.line("spare").word(info.name).integer(info.dataType);
        out.word("label").text(info.label);
        out.word("components").integer(static_cast<long long>(info.componentNames.size()));
        for (auto const &name : info.componentNames)
            out.word(name);
        out.word("defaults").integer(static_cast<long long>(info.defaults.size()));
        for (double value : info.defaults)
            out.number(value);
        out.word("text-default").text(info.textDefault);
        out.word("text-defaults").integer(static_cast<long long>(info.textDefaults.size()));
        for (auto const &text : info.textDefaults)
            out.text(text);
        out.word("menu").integer(static_cast<long long>(info.menuItems.size()));
        for (auto const &item : info.menuItems)
            out.text(item);
        out.word("template").integer(info.templateTypeId);
        out.word("look").enumValue(info.look);
        out.word("naming").enumValue(info.namingScheme);
        out.word("range").number(info.min).number(info.max).integer(info.minIsStrict).integer(info.maxIsStrict);
        out.word("tags").integer(static_cast<long long>(info.tags.size()));
        for (auto const &[key, value] : info.tags)
            out.text(key).text(value);
    }
}

void readSpare(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneReading &)
{
    ParmTupleInfo info;
    info.name = line.word();
    long long const dataType = line.integer();
    if (dataType != KOM_IntParmData && dataType != KOM_FloatParmData && dataType != KOM_StringParmData)
        line.fail("unknown parameter data type " + std::to_string(dataType));
    info.dataType = static_cast<int>(dataType);
    auto const expect = [&line](char const *field) {
        if (line.word() != field)
            line.fail(std::string("the field ") + field + " was expected");
    };
    expect("label");
    info.label = line.text();
    expect("components");
    for (int count = line.count(); count > 0; --count)
        info.componentNames.push_back(line.word());
    expect("defaults");
    for (int count = line.count(); count > 0; --count)
        info.defaults.push_back(line.number());
    expect("text-default");
    info.textDefault = line.text();
    expect("text-defaults");
    for (int count = line.count(); count > 0; --count)
        info.textDefaults.push_back(line.text());
    expect("menu");
    for (int count = line.count(); count > 0; --count)
        info.menuItems.push_back(line.text());
    expect("template");
    info.templateTypeId = static_cast<int>(line.integer());
    expect("look");
    info.look = line.enumValue();
    expect("naming");
    info.namingScheme = line.enumValue();
    expect("range");
    info.min = line.number();
    info.max = line.number();
    info.minIsStrict = line.integer() != 0;
    info.maxIsStrict = line.integer() != 0;
    expect("tags");
    for (int count = line.count(); count > 0; --count)
    {
        std::string key = line.text();
        info.tags[key] = line.text();
    }
    if (info.componentNames.empty())
        line.fail("a spare parameter tuple without parameters");
    if (findTuple(*node, info.name))
        line.fail("a second parameter tuple named " + info.name);
    for (auto const &component : info.componentNames)
        if (findParm(*node, component).first)
            line.fail("a second parameter named " + component);
    node->parmTuples.push_back(makeTuple(info, true));
}

// "value <parm> <number or text>" for a value other than the default.
void writeValues(SceneNode const &node, SceneLineWriter &out)
{
    forEachParm(node, [&out](SceneParmTuple const &tuple, SceneParm const &parm, std::size_t index) {
        bool const text = tuple.info.dataType == KOM_StringParmData;
        double const defaultNumber = index < tuple.info.defaults.size() ? tuple.info.defaults[index] : 0.0;
        std::string const &defaultText =
            index < tuple.info.textDefaults.size() ? tuple.info.textDefaults[index] : tuple.info.textDefault;
        if (text ? parm.text != defaultText : parm.number != defaultNumber)
        {
            out.line("value").word(parm.name);
            if (text)
                out.text(parm.text);
            else
                out.number(parm.number);
        }
    });
}

void readValue(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneReading &)
{
    SceneParmTuple *tuple = nullptr;
    SceneParm &parm = parmNamed(node, line, &tuple);
    if (tuple->info.dataType == KOM_StringParmData)
        parm.text = line.text();
    else
        parm.number = line.number();
}

void writeExpressions(SceneNode const &node, SceneLineWriter &out)
{
    forEachParm(node, [&out](SceneParmTuple const &, SceneParm const &parm, std::size_t) {
        if (!parm.expression.empty())
            out.line("expression").word(parm.name).text(parm.expression).enumValue(parm.expressionLanguage);
    });
}

void readExpression(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneReading &)
{
    SceneParm &parm = parmNamed(node, line);
    parm.expression = line.text();
    parm.expressionLanguage = line.enumValue();
    if (parm.expression.empty())
        line.fail("an empty expression");
}

// "key <parm> <frame>" then the keyframe's parts that are set, each a name and its value.
void writeKeys(SceneNode const &node, SceneLineWriter &out)
{
    forEachParm(node, [&out](SceneParmTuple const &, SceneParm const &parm, std::size_t) {
        for (auto const &key : parm.keyframes)
        {
            out.line("key").word(parm.name).number(key.frame);
            KeyframeData const &data = key.data;
            for (auto const &field : KeyframeNumberFields)
                if (std::optional<double> const &part = data.*field.part)
                    out.word(field.keyword).number(*part);
            if (data.expression)
                out.word("expression").text(*data.expression);
            if (data.language)
                out.word("language").enumValue(data.language);
        }
    });
}

void readKey(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneReading &)
{
    SceneParm &parm = parmNamed(node, line);
    SceneKeyframe key;
    key.frame = line.number();
    KeyframeData &data = key.data;
    while (!line.atEnd())
    {
        std::string const field = line.word();
        if (field == "expression")
        {
            data.expression = line.text();
            continue;
        }
        if (field == "language")
        {
            data.language = line.enumValue();
            continue;
        }
        auto const found = std::find_if(std::begin(KeyframeNumberFields), std::end(KeyframeNumberFields),
                                        [&field](auto const &entry) { return field == entry.keyword; });
        if (found == std::end(KeyframeNumberFields))
            line.fail("a keyframe has no part " + field);
        data.*found->part = line.number();
    }
    if (!parm.keyframes.empty() && parm.keyframes.back().frame >= key.frame)
        line.fail("keyframes out of order");
    parm.keyframes.push_back(std::move(key));
}

void writeLocks(SceneNode const &node, SceneLineWriter &out)
{
    forEachParm(node, [&out](SceneParmTuple const &, SceneParm const &parm, std::size_t) {
        if (parm.locked)
            out.line("lock").word(parm.name);
    });
}

void readLock(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneReading &)
{
    parmNamed(node, line).locked = true;
}

void writeAutoscopes(SceneNode const &node, SceneLineWriter &out)
{
    forEachParm(node, [&out](SceneParmTuple const &, SceneParm const &parm, std::size_t) {
        if (parm.autoscoped)
            out.line("autoscope").word(parm.name);
    });
}

void readAutoscope(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneReading &)
{
    parmNamed(node, line).autoscoped = true;
}

void writeAliases(SceneNode const &node, SceneLineWriter &out)
{
    forEachParm(node, [&out](SceneParmTuple const &, SceneParm const &parm, std::size_t) {
        if (!parm.alias.empty())
            out.line("alias").word(parm.name).word(parm.alias);
    });
}

void readAlias(std::shared_ptr<SceneNode> const &node, SceneLineReader &line, SceneReading &)
{
    SceneParm &parm = parmNamed(node, line);
    parm.alias = line.word();
}

// --- the file ---

void writeClock(SceneLineWriter &out)
{
    Clock const &clock = theScene().clock();
    out.line("clock").number(clock.time).number(clock.fps);
}

void readClock(SceneText &scene, SceneLineReader &line)
{
    scene.clock.time = line.floatNumber();
    scene.clock.fps = line.floatNumber();
    if (!std::isfinite(scene.clock.time) || !(scene.clock.fps > 0.0f) || !std::isfinite(scene.clock.fps))
        line.fail("a clock out of range");
}

} // namespace

// In the order they are written; a reader meets them in that order too. Parameter parts come
// after "spare", which makes the spare tuples they name.
std::vector<SceneNodePart> const &sceneNodeParts()
{
    static std::vector<SceneNodePart> const parts = {
        {"at", writePosition, readPosition},
        {"color", writeColor, readColor},
        {"comment", writeComment, readComment},
        {"language", writeLanguage, readLanguage},
        {"selected", writeSelected, readSelected},
        {"current", writeCurrent, readCurrent},
        {"input", writeInputs, readInput},
        {"box", writeBoxes, readBox},
        {"flags", writeFlags, readFlags},
        {"pre-transform", writePreTransform, readPreTransform},
        {"display", writeDisplay, readDisplay},
        {"render", writeRender, readRender},
        {"asset", writeAsset, readAsset},
        {"spare", writeSpare, readSpare},
        {"value", writeValues, readValue},
        {"expression", writeExpressions, readExpression},
        {"key", writeKeys, readKey},
        {"lock", writeLocks, readLock},
        {"autoscope", writeAutoscopes, readAutoscope},
        {"alias", writeAliases, readAlias},
    };
    return parts;
}

std::vector<SceneFilePart> const &sceneFileParts()
{
    static std::vector<SceneFilePart> const parts = {
        {"clock", writeClock, readClock},
    };
    return parts;
}

} // namespace kalhost
