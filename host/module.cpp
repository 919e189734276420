// The module functions of the reference host: one module object, kept by the host.
#include <Python.h>

#include "host/module.h"

#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include "host/assets.h"
#include "host/journal.h"
#include "host/keyframes.h"
#include "host/kscript.h"
#include "host/mathvalues.h"
#include "host/nodes.h"
#include "host/nodetypes.h"
#include "host/parms.h"
#include "host/parmtemplates.h"
#include "host/ui.h"
#include "host/shelves.h"
#include "host/scenefile.h"
#include "host/shell.h"
#include "model/module.h"
#include "model/shell.h"

namespace kalhost
{
namespace
{

// The namespace objects: one each, kept by the host. Their families give them operations.

std::map<std::string, std::pair<int, int>> theIconCache;

// Where files are looked for: the directories of $KALVANE_PATH, else the current one.
std::vector<std::string> searchPath()
{
    char const *variable = std::getenv("KALVANE_PATH");
    std::vector<std::string> directories;
    std::stringstream entries(variable && *variable ? variable : ".");
    for (std::string entry; std::getline(entries, entry, ':');)
        if (!entry.empty())
            directories.push_back(entry);
    return directories;
}

bool isDirectory(std::string const &path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool isFile(std::string const &path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

// Every match of `name` along the search path, in search order.
std::vector<std::string> findAlongPath(char const *name, bool (*accepts)(std::string const &))
{
    std::vector<std::string> found;
    if (!name || !*name)
        return found;
    if (name[0] == '/')
    {
        if (accepts(name))
            found.emplace_back(name);
        return found;
    }
    for (auto const &directory : searchPath())
    {
        std::string const candidate = directory + "/" + name;
        if (accepts(candidate))
            found.push_back(candidate);
    }
    return found;
}

std::string firstAlongPath(char const *name, bool (*accepts)(std::string const &))
{
    auto const found = findAlongPath(name, accepts);
    if (found.empty())
        throw KOM_OperationFailed(
            ("Could not find " + std::string(name ? name : "") + " along the search path").c_str());
    return found.front();
}

// The session module must stay valid Python: a source that does not compile is refused.
void checkSessionSource(std::string const &source)
{
    PyObject *code = Py_CompileString(source.c_str(), "kal.session", Py_file_input);
    if (code)
    {
        Py_DECREF(code);
        return;
    }
    std::string message = "The session module does not compile";
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    if (PyObject *text = value ? PyObject_Str(value) : nullptr)
    {
        if (char const *utf8 = PyUnicode_AsUTF8(text))
            message += std::string(": ") + utf8;
        Py_DECREF(text);
    }
    PyErr_Clear();
    Py_XDECREF(type);
    Py_XDECREF(value);
    Py_XDECREF(traceback);
    throw KOM_OperationFailed(message.c_str());
}

// Animation functions shape the keyframe segment being evaluated; this host evaluates
// parameters without them, so a script never runs inside such a segment.
[[noreturn]] void outsideKeyframeSegment()
{
    throw KOM_NotAvailable("Animation functions are only available in parameter expressions");
}

std::vector<std::vector<float>> matrixOf(KscriptValue const &value)
{
    std::vector<std::vector<float>> rows;
    for (auto const &row : value.matrix)
        rows.emplace_back(row.begin(), row.end());
    return rows;
}

class HostModule : public KOM_Module
{
public:
    std::vector<std::string> _getArgumentAutoComplete(char const *method_name,
                                                      char const *arguments) override
    {
        hostOperation("Module._getArgumentAutoComplete", method_name, arguments);
        std::string const method = method_name ? method_name : "";
        if ((method != "node" && method != "cd") || !arguments)
            return {};
        return theScene().completePath(arguments, theScene().pwd());
    }

    KOM_ui *__ui() override
    {
        hostOperation("Module.__ui");
        return theUi();
    }

    bool isUIAvailable() override
    {
        hostOperation("Module.isUIAvailable");
        return true;
    }

    KOM_galleries *__galleries() override
    {
        hostOperation("Module.__galleries");
        return &theGalleries();
    }

    KOM_kda *__kda() override
    {
        hostOperation("Module.__kda");
        return &kdaObject();
    }

    KOM_kipFile *__kipFile() override
    {
        hostOperation("Module.__kipFile");
        return &kipFile();
    }

    KOM_kmath *__kmath() override
    {
        hostOperation("Module.__kmath");
        return &theKmath();
    }

    KOM_shelves *__shelves() override
    {
        hostOperation("Module.__shelves");
        return &theShelves();
    }

    void exit(int exit_code, bool suppress_save_prompt) override
    {
        hostOperation("Module.exit", exit_code, suppress_save_prompt);
        myExiting = true;
        throw KOM_SystemExit(exit_code);
    }

    bool _isExiting() override
    {
        hostOperation("Module._isExiting");
        return myExiting;
    }

    std::string applicationName() override
    {
        hostOperation("Module.applicationName");
        return "kalvane";
    }

    std::vector<int> applicationVersion() override
    {
        hostOperation("Module.applicationVersion");
        return {1, 0, 0};
    }

    std::string applicationVersionString() override
    {
        hostOperation("Module.applicationVersionString");
        return "1.0.0";
    }

    std::string applicationCompilationDate() override
    {
        hostOperation("Module.applicationCompilationDate");
        return __DATE__;
    }

    KOM_Node *root() override
    {
        hostOperation("Module.root");
        return NodeHandle::handleFor(theScene().root());
    }

    KOM_Node *pwd() override
    {
        hostOperation("Module.pwd");
        return NodeHandle::handleFor(theScene().pwd());
    }

    void setPwd(KOM_Node &node) override
    {
        hostOperation("Module.setPwd", node);
        theScene().setPwd(NodeHandle::sceneOf(&node));
    }

    void cd(char const *path) override
    {
        hostOperation("Module.cd", path);
        auto const node = find(path);
        if (!node)
            throw KOM_OperationFailed(("No node at " + std::string(path ? path : "")).c_str());
        theScene().setPwd(node);
    }

    KOM_Node *node(char const *path) override
    {
        hostOperation("Module.node", path);
        return NodeHandle::handleFor(find(path));
    }

    KOM_Parm *parm(char const *path) override
    {
        hostOperation("Module.parm", path);
        auto const [node, name] = findParmOwner(path);
        return node ? parmHandle(node, name) : nullptr;
    }

    KOM_ParmTuple *parmTuple(char const *path) override
    {
        hostOperation("Module.parmTuple", path);
        auto const [node, name] = findParmOwner(path);
        return node ? parmTupleHandle(node, name) : nullptr;
    }

    KOM_NodeType *nodeType(KOM_NodeTypeCategory &category, char const *name) override
    {
        hostOperation("Module.nodeType", category, name);
        return nodeTypeHandle(findNodeType(categoryCodeOf(category), name ? name : ""));
    }

    KOM_NodeTypeCategory *objNodeTypeCategory() override { return category("obj", KOM_ObjectCategory); }
    KOM_NodeTypeCategory *sopNodeTypeCategory() override { return category("sop", KOM_SopCategory); }
    KOM_NodeTypeCategory *popNodeTypeCategory() override { return category("pop", KOM_PopCategory); }
    KOM_NodeTypeCategory *dopNodeTypeCategory() override { return category("dop", KOM_DopCategory); }
    KOM_NodeTypeCategory *cop2NodeTypeCategory() override { return category("cop2", KOM_Cop2Category); }
    KOM_NodeTypeCategory *shopNodeTypeCategory() override { return category("shop", KOM_ShopCategory); }
    KOM_NodeTypeCategory *vopNodeTypeCategory() override { return category("vop", KOM_VopCategory); }
    KOM_NodeTypeCategory *ropNodeTypeCategory() override { return category("rop", KOM_RopCategory); }
    KOM_NodeTypeCategory *chopNodeTypeCategory() override { return category("chop", KOM_ChopCategory); }
    KOM_NodeTypeCategory *popNetNodeTypeCategory() override
    {
        return category("popNet", KOM_PopNetCategory);
    }
    KOM_NodeTypeCategory *cop2NetNodeTypeCategory() override
    {
        return category("cop2Net", KOM_Cop2NetCategory);
    }
    KOM_NodeTypeCategory *vopNetNodeTypeCategory() override
    {
        return category("vopNet", KOM_VopNetCategory);
    }
    KOM_NodeTypeCategory *chopNetNodeTypeCategory() override
    {
        return category("chopNet", KOM_ChopNetCategory);
    }
    KOM_NodeTypeCategory *managerNodeTypeCategory() override
    {
        return category("manager", KOM_ManagerCategory);
    }
    KOM_NodeTypeCategory *rootNodeTypeCategory() override { return category("root", KOM_RootCategory); }

    std::map<std::string, KOM_NodeTypeCategory *> nodeTypeCategories() override
    {
        hostOperation("Module.nodeTypeCategories");
        return categoriesByName();
    }

    std::vector<KOM_ElemPtr<KOM_Node>> copyNodesTo(std::vector<KOM_Node *> const &nodes,
                                                   KOM_Node &destination_node) override
    {
        hostOperation("Module.copyNodesTo", nodes, destination_node);
        auto const network = NodeHandle::sceneOf(&destination_node);
        return NodeHandle::handlesFor(theScene().copyTo(NodeHandle::scenesOf(nodes), network));
    }

    std::vector<KOM_ElemPtr<KOM_Node>> moveNodesTo(std::vector<KOM_Node *> const &nodes,
                                                   KOM_Node &destination_node) override
    {
        hostOperation("Module.moveNodesTo", nodes, destination_node);
        auto const network = NodeHandle::sceneOf(&destination_node);
        return NodeHandle::handlesFor(theScene().moveTo(NodeHandle::scenesOf(nodes), network));
    }

    float time() override
    {
        hostQuery("Module.time");
        return theScene().clock().time;
    }

    void setTime(float time) override
    {
        hostOperation("Module.setTime", time);
        theScene().clock().time = time;
    }

    float frame() override
    {
        hostQuery("Module.frame");
        return theScene().clock().frame();
    }

    void setFrame(float frame) override
    {
        hostOperation("Module.setFrame", frame);
        auto &clock = theScene().clock();
        clock.time = clock.frameToTime(frame);
    }

    float fps() override
    {
        hostQuery("Module.fps");
        return theScene().clock().fps;
    }

    void setFps(float fps) override
    {
        // The time stays; frames are counted anew.
        hostOperation("Module.setFps", fps);
        if (!(fps > 0.0f) || !std::isfinite(fps))
            throw KOM_ValueError("Frames per second must be positive");
        theScene().clock().fps = fps;
    }

    float timeToFrame(float time) override
    {
        hostOperation("Module.timeToFrame", time);
        return theScene().clock().timeToFrame(time);
    }

    float frameToTime(float frame) override
    {
        hostOperation("Module.frameToTime", frame);
        return theScene().clock().frameToTime(frame);
    }

    float bezier() override { return animation("Module.bezier"); }
    float constant() override { return animation("Module.constant"); }
    float cubic() override { return animation("Module.cubic"); }
    float cycle(float start_frame, float end_frame) override
    {
        hostOperation("Module.cycle", start_frame, end_frame);
        outsideKeyframeSegment();
    }
    float cyclet(float start_time, float end_time) override
    {
        hostOperation("Module.cyclet", start_time, end_time);
        outsideKeyframeSegment();
    }
    float ease() override { return animation("Module.ease"); }
    float easein() override { return animation("Module.easein"); }
    float easeinp(float ease_speed) override
    {
        hostOperation("Module.easeinp", ease_speed);
        outsideKeyframeSegment();
    }
    float easeout() override { return animation("Module.easeout"); }
    float easeoutp(float ease_speed) override
    {
        hostOperation("Module.easeoutp", ease_speed);
        outsideKeyframeSegment();
    }
    float easep(float ease_bias) override
    {
        hostOperation("Module.easep", ease_bias);
        outsideKeyframeSegment();
    }
    float linear() override { return animation("Module.linear"); }
    float match() override { return animation("Module.match"); }
    float matchin() override { return animation("Module.matchin"); }
    float matchout() override { return animation("Module.matchout"); }
    float qlinear() override { return animation("Module.qlinear"); }
    float quintic() override { return animation("Module.quintic"); }
    float repeat(float start_frame, float end_frame) override
    {
        hostOperation("Module.repeat", start_frame, end_frame);
        outsideKeyframeSegment();
    }
    float repeatt(float start_time, float end_time) override
    {
        hostOperation("Module.repeatt", start_time, end_time);
        outsideKeyframeSegment();
    }
    float spline() override { return animation("Module.spline"); }
    float vmatch() override { return animation("Module.vmatch"); }
    float vmatchin() override { return animation("Module.vmatchin"); }
    float vmatchout() override { return animation("Module.vmatchout"); }

    std::vector<KOM_ElemPtr<KOM_ZelContext>> zelContexts() override
    {
        hostOperation("Module.zelContexts");
        return kalhost::zelContexts();
    }

    KOM_ZelContext *zelContextForShaderType(KOM_EnumValue &shader_type) override
    {
        hostOperation("Module.zelContextForShaderType", shader_type);
        return kalhost::zelContextForShaderType(shader_type);
    }

    KOM_ZelContext *zelContextForNodeTypeCategory(KOM_NodeTypeCategory &category) override
    {
        hostOperation("Module.zelContextForNodeTypeCategory", category);
        return zelContextForCategory(category);
    }

    std::string kscriptCommandHelp(char const *command_name) override
    {
        hostOperation("Module.kscriptCommandHelp", command_name);
        return kscriptHelp(command_name);
    }

    std::vector<std::string> kscript(char const *command) override
    {
        hostOperation("Module.kscript", command);
        return runKscript(command);
    }

    bool almostEqual(double x, double y) override
    {
        hostOperation("Module.almostEqual", x, y);
        return std::fabs(x - y) < 0.00001;
    }

    std::string findFile(char const *file_name) override
    {
        hostOperation("Module.findFile", file_name);
        return firstAlongPath(file_name, isFile);
    }

    std::vector<std::string> findFiles(char const *file_name) override
    {
        hostOperation("Module.findFiles", file_name);
        return findAlongPath(file_name, isFile);
    }

    std::string findDirectory(char const *directory_name) override
    {
        hostOperation("Module.findDirectory", directory_name);
        return firstAlongPath(directory_name, isDirectory);
    }

    std::vector<std::string> findDirectories(char const *directory_name) override
    {
        hostOperation("Module.findDirectories", directory_name);
        return findAlongPath(directory_name, isDirectory);
    }

    std::string readFile(char const *file_path) override
    {
        hostOperation("Module.readFile", file_path);
        std::ifstream file;
        if (file_path && isFile(file_path))
            file.open(file_path, std::ios::binary);
        if (!file.is_open())
            throw KOM_OperationFailed(
                ("Could not read " + std::string(file_path ? file_path : "")).c_str());
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }

    void setSessionModuleSource(char const *source) override
    {
        hostOperation("Module.setSessionModuleSource", source);
        std::string const replacement = source ? source : "";
        checkSessionSource(replacement);
        mySessionSource = replacement;
    }

    void appendSessionModuleSource(char const *source) override
    {
        hostOperation("Module.appendSessionModuleSource", source);
        std::string extended = mySessionSource;
        if (!extended.empty() && extended.back() != '\n')
            extended += '\n';
        extended += source ? source : "";
        checkSessionSource(extended);
        mySessionSource = extended;
    }

    std::string sessionModuleSource() override
    {
        hostOperation("Module.sessionModuleSource");
        return mySessionSource;
    }

    // The value of the parameter at the path (relative to the current node), read as a node
    // path relative to the parameter's node, made absolute; empty for an empty value.
    std::string chsop(char const *text) override
    {
        hostOperation("Module.chsop", text);
        KscriptContext const context = sceneContext();
        std::string const path = text;
        std::size_t const slash = path.rfind('/');
        std::string const nodePath = slash == std::string::npos ? "." : path.substr(0, slash);
        auto const node = theScene().find(nodePath.empty() ? "/" : nodePath, context.node);
        KscriptValue value;
        if (!node || !referencedParmValue(node, path.substr(slash + 1), context.frame, 0, &value))
            throw KOM_OperationFailed(("No parameter " + path).c_str());
        if (value.kind != KscriptValue::Text)
            throw KOM_OperationFailed(("Not a string parameter: " + path).c_str());
        if (value.text.empty())
            return "";
        auto const target = theScene().find(value.text, node);
        if (!target)
            throw KOM_OperationFailed(("No node " + value.text).c_str());
        return target->path();
    }

    boost::any kscriptExpression(char const *expression) override
    {
        hostOperation("Module.kscriptExpression", expression);
        KscriptValue const value = evalKscript(expression, sceneContext());
        switch (value.kind)
        {
        case KscriptValue::Number: return static_cast<float>(value.number);
        case KscriptValue::Text: return value.text;
        case KscriptValue::Vector: return std::vector<float>(value.vector.begin(), value.vector.end());
        case KscriptValue::Matrix: return matrixOf(value);
        case KscriptValue::Double: return value.number;
        case KscriptValue::Int: return static_cast<int>(value.number);
        default: return boost::any();
        }
    }

    double kscriptFloatExpression(char const *expression) override
    {
        hostOperation("Module.kscriptFloatExpression", expression);
        KscriptValue const value = evalKscript(expression, sceneContext());
        if (!value.isNumeric())
            throw KOM_OperationFailed(("The expression gives no number: " + std::string(expression)).c_str());
        return value.number;
    }

    // Numbers show as text too.
    std::string kscriptStringExpression(char const *expression) override
    {
        hostOperation("Module.kscriptStringExpression", expression);
        KscriptValue const value = evalKscript(expression, sceneContext());
        if (value.kind == KscriptValue::Text)
            return value.text;
        if (!value.isNumeric())
            throw KOM_OperationFailed(("The expression gives no string: " + std::string(expression)).c_str());
        return formatNumber(value.number);
    }

    std::vector<float> kscriptVectorExpression(char const *expression) override
    {
        hostOperation("Module.kscriptVectorExpression", expression);
        KscriptValue const value = evalKscript(expression, sceneContext());
        if (value.kind != KscriptValue::Vector)
            throw KOM_OperationFailed(("The expression gives no vector: " + std::string(expression)).c_str());
        return std::vector<float>(value.vector.begin(), value.vector.end());
    }

    std::vector<std::vector<float>> kscriptMatrixExpression(char const *expression) override
    {
        hostOperation("Module.kscriptMatrixExpression", expression);
        KscriptValue const value = evalKscript(expression, sceneContext());
        if (value.kind != KscriptValue::Matrix)
            throw KOM_OperationFailed(("The expression gives no matrix: " + std::string(expression)).c_str());
        return matrixOf(value);
    }

    std::string kscriptExpandString(char const *text) override
    {
        hostOperation("Module.kscriptExpandString", text);
        return expandKscriptString(text, sceneContext());
    }

    KOM_FloatParmTemplate *newFloatParmTemplate(char const *name, char const *label, int num_components,
                                                std::vector<float> const &default_value, float min, float max,
                                                bool min_is_strict, bool max_is_strict, KOM_EnumValue &look,
                                                KOM_EnumValue &naming_scheme,
                                                std::map<std::string, std::string> const &tags) override
    {
        hostOperation("Module.newFloatParmTemplate", name, label, num_components, default_value, min, max,
                      min_is_strict, max_is_strict, look, naming_scheme, tags);
        return kalhost::newFloatParmTemplate(name, label, num_components, default_value, min, max, min_is_strict,
                                             max_is_strict, look, naming_scheme, tags);
    }

    KOM_IntParmTemplate *newIntParmTemplate(char const *name, char const *label, int num_components,
                                            std::vector<int> const &default_value, int min, int max,
                                            bool min_is_strict, bool max_is_strict, KOM_EnumValue &look,
                                            KOM_EnumValue &naming_scheme,
                                            std::map<std::string, std::string> const &tags) override
    {
        hostOperation("Module.newIntParmTemplate", name, label, num_components, default_value, min, max,
                      min_is_strict, max_is_strict, look, naming_scheme, tags);
        return kalhost::newIntParmTemplate(name, label, num_components, default_value, min, max, min_is_strict,
                                           max_is_strict, look, naming_scheme, tags);
    }

    KOM_StringParmTemplate *newStringParmTemplate(char const *name, char const *label, int num_components,
                                                  std::vector<std::string> const &default_value,
                                                  KOM_EnumValue &naming_scheme,
                                                  std::map<std::string, std::string> const &tags) override
    {
        hostOperation("Module.newStringParmTemplate", name, label, num_components, default_value, naming_scheme,
                      tags);
        return kalhost::newStringParmTemplate(name, label, num_components, default_value, naming_scheme, tags);
    }

    KOM_ToggleParmTemplate *newToggleParmTemplate(char const *name, char const *label, bool default_value,
                                                  KOM_EnumValue &naming_scheme,
                                                  std::map<std::string, std::string> const &tags) override
    {
        hostOperation("Module.newToggleParmTemplate", name, label, default_value, naming_scheme, tags);
        return kalhost::newToggleParmTemplate(name, label, default_value, naming_scheme, tags);
    }

    KOM_Keyframe *newKeyframe() override
    {
        hostOperation("Module.newKeyframe");
        return kalhost::newKeyframe();
    }

    KOM_Keyframe *newKeyframe(double value) override
    {
        hostOperation("Module.newKeyframe", value);
        return kalhost::newKeyframe(value);
    }

    KOM_Keyframe *newKeyframe(double value, double time) override
    {
        hostOperation("Module.newKeyframe", value, time);
        return kalhost::newKeyframe(value, time);
    }

    void reset()
    {
        myExiting = false;
        mySessionSource.clear();
    }

private:
    // Absolute paths from the root, others from the current node.
    static std::shared_ptr<SceneNode> find(char const *path)
    {
        if (!path || !*path)
            return nullptr;
        return theScene().find(path, theScene().pwd());
    }

    // The node a parameter path names and the parameter's name within it.
    static std::pair<std::shared_ptr<SceneNode>, std::string> findParmOwner(char const *path)
    {
        std::string const text = path ? path : "";
        std::size_t const slash = text.rfind('/');
        if (slash == std::string::npos)
            return {theScene().pwd(), text};
        std::string const nodePath = slash == 0 ? "/" : text.substr(0, slash);
        return {find(nodePath.c_str()), text.substr(slash + 1)};
    }

    static KOM_NodeTypeCategory *category(char const *name, int code)
    {
        hostOperation((std::string("Module.") + name + "NodeTypeCategory").c_str());
        return categoryFor(code);
    }

    static float animation(char const *operation)
    {
        hostOperation(operation);
        outsideKeyframeSegment();
    }

    bool myExiting = false;
    std::string mySessionSource;
};

HostModule theModule;

} // namespace

KOM_Module &hostModule() { return theModule; }

void resetModule()
{
    theModule.reset();
    theIconCache.clear();
}

} // namespace kalhost

void KOM_preloadIcon(std::string const &name, int width, int height)
{
    kalhost::hostOperation("Module.preloadIcon", name, width, height);
    kalhost::theIconCache[name] = {width, height};
}
