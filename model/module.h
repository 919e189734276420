// The host's module object and the module-level functions that forward to it.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "model/services.h"
#include "model/assets.h"
#include <boost/any.hpp>

#include "model/enums.h"
#include "model/errors.h"
#include "model/keyframes.h"
#include "model/mathvalues.h"
#include "model/nodes.h"
#include "model/nodetypes.h"
#include "model/parms.h"
#include "model/parmtemplates.h"
#include "model/scenefile.h"
#include "model/shelves.h"
#include "model/ui.h"

// Declaration order is the slot order the host is built against; operations of other
// families go where their comments stand.
class KOM_Module
{
public:
    virtual ~KOM_Module() {}

    // Completions an editor offers for the arguments of a module function.
    virtual std::vector<std::string> _getArgumentAutoComplete(char const *method_name,
                                                              char const *arguments) = 0;
    // The namespace objects stay with the host.
    // The user interface namespace, published as kal.ui.
    virtual KOM_ui *__ui() = 0;
    // Whether the application runs with its user interface.
    virtual bool isUIAvailable() = 0;
    // The galleries namespace, published as kal.galleries.
    virtual KOM_galleries *__galleries() = 0;
    // The digital assets namespace, published as kal.kda.
    virtual KOM_kda *__kda() = 0;
    // The scene file namespace, published as kal.kipFile.
    virtual KOM_kipFile *__kipFile() = 0;
    // The math namespace, published as kal.kmath.
    virtual KOM_kmath *__kmath() = 0;
    // The shelves namespace, published as kal.shelves.
    virtual KOM_shelves *__shelves() = 0;
    // Throws KOM_SystemExit when the application agrees to end.
    // Ends the application with an exit code, asking to save unless told not to.
    virtual void exit(int exit_code, bool suppress_save_prompt) = 0;
    // Whether the application is shutting down.
    virtual bool _isExiting() = 0;
    // The application's name.
    virtual std::string applicationName() = 0;
    // The application's version as (major, minor, build).
    virtual std::vector<int> applicationVersion() = 0;
    // The application's version as text, such as "1.0.0".
    virtual std::string applicationVersionString() = 0;
    // When the application was built.
    virtual std::string applicationCompilationDate() = 0;
    // The root node, "/".
    virtual KOM_Node *root() = 0;
    // The current network, which relative paths start from.
    virtual KOM_Node *pwd() = 0;
    // Makes a network the current one.
    virtual void setPwd(KOM_Node &node) = 0;
    // Makes the network at a path the current one.
    virtual void cd(char const *path) = 0;
    // The node at a path, or None when there is none.
    virtual KOM_Node *node(char const *path) = 0;
    // The parameter at a path such as "/obj/geo1/tx", or None.
    virtual KOM_Parm *parm(char const *path) = 0;
    // The parameter tuple at a path such as "/obj/geo1/t", or None.
    virtual KOM_ParmTuple *parmTuple(char const *path) = 0;
    // The node type of a category with this name, or None.
    virtual KOM_NodeType *nodeType(KOM_NodeTypeCategory &category, char const *name) = 0;
    // The category of object nodes.
    virtual KOM_NodeTypeCategory *objNodeTypeCategory() = 0;
    // The category of surface (geometry) nodes.
    virtual KOM_NodeTypeCategory *sopNodeTypeCategory() = 0;
    // The category of particle nodes.
    virtual KOM_NodeTypeCategory *popNodeTypeCategory() = 0;
    // The category of simulation nodes.
    virtual KOM_NodeTypeCategory *dopNodeTypeCategory() = 0;
    // The category of compositing nodes.
    virtual KOM_NodeTypeCategory *cop2NodeTypeCategory() = 0;
    // The category of shader nodes.
    virtual KOM_NodeTypeCategory *shopNodeTypeCategory() = 0;
    // The category of shader-building (VOP) nodes.
    virtual KOM_NodeTypeCategory *vopNodeTypeCategory() = 0;
    // The category of output (render) nodes.
    virtual KOM_NodeTypeCategory *ropNodeTypeCategory() = 0;
    // The category of channel nodes.
    virtual KOM_NodeTypeCategory *chopNodeTypeCategory() = 0;
    // The category of particle networks.
    virtual KOM_NodeTypeCategory *popNetNodeTypeCategory() = 0;
    // The category of compositing networks.
    virtual KOM_NodeTypeCategory *cop2NetNodeTypeCategory() = 0;
    // The category of VOP networks.
    virtual KOM_NodeTypeCategory *vopNetNodeTypeCategory() = 0;
    // The category of channel networks.
    virtual KOM_NodeTypeCategory *chopNetNodeTypeCategory() = 0;
    // The category of the manager networks such as /obj.
    virtual KOM_NodeTypeCategory *managerNodeTypeCategory() = 0;
    // The category of the root node.
    virtual KOM_NodeTypeCategory *rootNodeTypeCategory() = 0;
    // Every node type category, by name.
    virtual std::map<std::string, KOM_NodeTypeCategory *> nodeTypeCategories() = 0;
    // Copies nodes into a network and returns the copies.
    virtual std::vector<KOM_ElemPtr<KOM_Node>> copyNodesTo(std::vector<KOM_Node *> const &nodes,
                                                           KOM_Node &destination_node) = 0;
    // Moves nodes into another network and returns them there.
    virtual std::vector<KOM_ElemPtr<KOM_Node>> moveNodesTo(std::vector<KOM_Node *> const &nodes,
                                                           KOM_Node &destination_node) = 0;
    // The current time, in seconds.
    virtual float time() = 0;
    // Goes to a time, in seconds.
    virtual void setTime(float time) = 0;
    // The current frame.
    virtual float frame() = 0;
    // Goes to a frame.
    virtual void setFrame(float frame) = 0;
    // The scene's frames per second.
    virtual float fps() = 0;
    // Sets the scene's frames per second.
    virtual void setFps(float fps) = 0;
    // The frame at a time in seconds.
    virtual float timeToFrame(float time) = 0;
    // The time in seconds at a frame.
    virtual float frameToTime(float frame) = 0;
    // Animation functions: they shape the keyframe segment being evaluated, so outside a
    // parameter evaluation they throw KOM_NotAvailable.
    // In a keyframe expression: a Bezier curve through the segment's keyframes.
    virtual float bezier() = 0;
    // In a keyframe expression: hold the segment's first value.
    virtual float constant() = 0;
    // In a keyframe expression: a cubic curve using the keyframes' slopes.
    virtual float cubic() = 0;
    // In a keyframe expression: repeat the animation between two frames.
    virtual float cycle(float start_frame, float end_frame) = 0;
    // In a keyframe expression: repeat the animation between two times.
    virtual float cyclet(float start_time, float end_time) = 0;
    // In a keyframe expression: ease in and out between the keyframes.
    virtual float ease() = 0;
    // In a keyframe expression: ease in towards the next keyframe.
    virtual float easein() = 0;
    // In a keyframe expression: ease in, with a speed.
    virtual float easeinp(float ease_speed) = 0;
    // In a keyframe expression: ease out of the first keyframe.
    virtual float easeout() = 0;
    // In a keyframe expression: ease out, with a speed.
    virtual float easeoutp(float ease_speed) = 0;
    // In a keyframe expression: ease in and out, with a bias.
    virtual float easep(float ease_bias) = 0;
    // In a keyframe expression: a straight line between the keyframes.
    virtual float linear() = 0;
    // In a keyframe expression: match the slopes of the neighbouring segments.
    virtual float match() = 0;
    // In a keyframe expression: match the slope of the segment before.
    virtual float matchin() = 0;
    // In a keyframe expression: match the slope of the segment after.
    virtual float matchout() = 0;
    // In a keyframe expression: interpolate rotations along the shortest path.
    virtual float qlinear() = 0;
    // In a keyframe expression: a smooth quintic curve between the keyframes.
    virtual float quintic() = 0;
    // In a keyframe expression: repeat the animation between two frames, without blending.
    virtual float repeat(float start_frame, float end_frame) = 0;
    // In a keyframe expression: repeat the animation between two times, without blending.
    virtual float repeatt(float start_time, float end_time) = 0;
    // In a keyframe expression: a spline through the neighbouring keyframes.
    virtual float spline() = 0;
    // In a keyframe expression: match the values and slopes of both neighbours.
    virtual float vmatch() = 0;
    // In a keyframe expression: match the value and slope of the keyframe before.
    virtual float vmatchin() = 0;
    // In a keyframe expression: match the value and slope of the keyframe after.
    virtual float vmatchout() = 0;
    // Every shading-language context.
    virtual std::vector<KOM_ElemPtr<KOM_ZelContext>> zelContexts() = 0;
    // The shading-language context that builds a kind of shader.
    virtual KOM_ZelContext *zelContextForShaderType(KOM_EnumValue &shader_type) = 0;
    // The shading-language context of a node type category.
    virtual KOM_ZelContext *zelContextForNodeTypeCategory(KOM_NodeTypeCategory &category) = 0;
    // The help text of a kscript command.
    virtual std::string kscriptCommandHelp(char const *command_name) = 0;
    // The command's results, in an order the host chooses.
    // Runs kscript commands and returns (output, errors).
    virtual std::vector<std::string> kscript(char const *command) = 0;
    // Whether two numbers are equal up to rounding.
    virtual bool almostEqual(double x, double y) = 0;
    // The first file with this name on the application's search path.
    virtual std::string findFile(char const *file_name) = 0;
    // Every file with this name on the application's search path.
    virtual std::vector<std::string> findFiles(char const *file_name) = 0;
    // The first folder with this name on the application's search path.
    virtual std::string findDirectory(char const *directory_name) = 0;
    // Every folder with this name on the application's search path.
    virtual std::vector<std::string> findDirectories(char const *directory_name) = 0;
    // The whole content, NUL bytes included.
    // A file's whole content.
    virtual std::string readFile(char const *file_path) = 0;
    // Replaces the source of the scene's session module.
    virtual void setSessionModuleSource(char const *source) = 0;
    // Adds code at the end of the scene's session module.
    virtual void appendSessionModuleSource(char const *source) = 0;
    // The source of the scene's session module.
    virtual std::string sessionModuleSource() = 0;
    // The path a node-reference parameter holds, expanded.
    virtual std::string chsop(char const *text) = 0;
    // Holds a float, a std::string, a std::vector<float>, a std::vector<std::vector<float>>,
    // or anything else (nothing included), which scripts get as None.
    // Evaluates a kscript expression: a float, str, vector or matrix tuple, or None.
    virtual boost::any kscriptExpression(char const *expression) = 0;
    // Evaluates a kscript expression as a number.
    virtual double kscriptFloatExpression(char const *expression) = 0;
    // Evaluates a kscript expression as text.
    virtual std::string kscriptStringExpression(char const *expression) = 0;
    // Evaluates a kscript expression as a vector.
    virtual std::vector<float> kscriptVectorExpression(char const *expression) = 0;
    // Evaluates a kscript expression as a matrix (a tuple of rows).
    virtual std::vector<std::vector<float>> kscriptMatrixExpression(char const *expression) = 0;
    // Expands the $variables and `expressions` in a text.
    virtual std::string kscriptExpandString(char const *text) = 0;
    // Parameter template and keyframe factories: each returns a new object, the caller's.
    virtual KOM_FloatParmTemplate *newFloatParmTemplate(
        char const *name, char const *label, int num_components, std::vector<float> const &default_value,
        float min, float max, bool min_is_strict, bool max_is_strict, KOM_EnumValue &look,
        KOM_EnumValue &naming_scheme, std::map<std::string, std::string> const &tags) = 0;
    virtual KOM_IntParmTemplate *newIntParmTemplate(
        char const *name, char const *label, int num_components, std::vector<int> const &default_value,
        int min, int max, bool min_is_strict, bool max_is_strict, KOM_EnumValue &look,
        KOM_EnumValue &naming_scheme, std::map<std::string, std::string> const &tags) = 0;
    virtual KOM_StringParmTemplate *newStringParmTemplate(
        char const *name, char const *label, int num_components,
        std::vector<std::string> const &default_value, KOM_EnumValue &naming_scheme,
        std::map<std::string, std::string> const &tags) = 0;
    virtual KOM_ToggleParmTemplate *newToggleParmTemplate(char const *name, char const *label,
                                                          bool default_value, KOM_EnumValue &naming_scheme,
                                                          std::map<std::string, std::string> const &tags) = 0;
    virtual KOM_Keyframe *newKeyframe() = 0;
    virtual KOM_Keyframe *newKeyframe(double value) = 0;
    virtual KOM_Keyframe *newKeyframe(double value, double time) = 0;
};

// The host's icon cache, filled ahead of use. Call it holding KOM_theKOMLock.
void KOM_preloadIcon(std::string const &name, int width, int height);

// Each module-level function is one call on the host's module object, fetched afresh.
namespace kom
{
// Starts the application's internals when kal is imported outside the application.
inline void __ensureKalvaneInternalsExist() { KOMF_Module::ensureKalvaneInternalsExist(); }
inline std::vector<std::string> _getArgumentAutoComplete(char const *method_name,
                                                         char const *arguments)
{
    return KOM()._getArgumentAutoComplete(method_name, arguments);
}
inline KOM_ui *__ui() { return KOM().__ui(); }
inline bool isUIAvailable() { return KOM().isUIAvailable(); }
inline KOM_galleries *__galleries() { return KOM().__galleries(); }
inline KOM_kda *__kda() { return KOM().__kda(); }
inline KOM_kipFile *__kipFile() { return KOM().__kipFile(); }
inline KOM_kmath *__kmath() { return KOM().__kmath(); }
inline KOM_shelves *__shelves() { return KOM().__shelves(); }
inline void exit(int exit_code = 0, bool suppress_save_prompt = false)
{
    KOM().exit(exit_code, suppress_save_prompt);
}
inline bool _isExiting() { return KOM()._isExiting(); }
inline std::string applicationName() { return KOM().applicationName(); }
inline std::vector<int> applicationVersion() { return KOM().applicationVersion(); }
inline std::string applicationVersionString() { return KOM().applicationVersionString(); }
inline std::string applicationCompilationDate() { return KOM().applicationCompilationDate(); }
inline KOM_Node *root() { return KOM().root(); }
inline KOM_Node *pwd() { return KOM().pwd(); }
inline void setPwd(KOM_Node &node) { KOM().setPwd(node); }
inline void cd(char const *path) { KOM().cd(path); }
inline KOM_Node *node(char const *path) { return KOM().node(path); }
inline KOM_Parm *parm(char const *path) { return KOM().parm(path); }
inline KOM_ParmTuple *parmTuple(char const *path) { return KOM().parmTuple(path); }
inline KOM_NodeType *nodeType(KOM_NodeTypeCategory &category, char const *name)
{
    return KOM().nodeType(category, name);
}
inline KOM_NodeTypeCategory *objNodeTypeCategory() { return KOM().objNodeTypeCategory(); }
inline KOM_NodeTypeCategory *sopNodeTypeCategory() { return KOM().sopNodeTypeCategory(); }
inline KOM_NodeTypeCategory *popNodeTypeCategory() { return KOM().popNodeTypeCategory(); }
inline KOM_NodeTypeCategory *dopNodeTypeCategory() { return KOM().dopNodeTypeCategory(); }
inline KOM_NodeTypeCategory *cop2NodeTypeCategory() { return KOM().cop2NodeTypeCategory(); }
inline KOM_NodeTypeCategory *shopNodeTypeCategory() { return KOM().shopNodeTypeCategory(); }
inline KOM_NodeTypeCategory *vopNodeTypeCategory() { return KOM().vopNodeTypeCategory(); }
inline KOM_NodeTypeCategory *ropNodeTypeCategory() { return KOM().ropNodeTypeCategory(); }
inline KOM_NodeTypeCategory *chopNodeTypeCategory() { return KOM().chopNodeTypeCategory(); }
inline KOM_NodeTypeCategory *popNetNodeTypeCategory() { return KOM().popNetNodeTypeCategory(); }
inline KOM_NodeTypeCategory *cop2NetNodeTypeCategory() { return KOM().cop2NetNodeTypeCategory(); }
inline KOM_NodeTypeCategory *vopNetNodeTypeCategory() { return KOM().vopNetNodeTypeCategory(); }
inline KOM_NodeTypeCategory *chopNetNodeTypeCategory() { return KOM().chopNetNodeTypeCategory(); }
inline KOM_NodeTypeCategory *managerNodeTypeCategory() { return KOM().managerNodeTypeCategory(); }
inline KOM_NodeTypeCategory *rootNodeTypeCategory() { return KOM().rootNodeTypeCategory(); }
inline std::map<std::string, KOM_NodeTypeCategory *> nodeTypeCategories()
{
    return KOM().nodeTypeCategories();
}
inline std::vector<KOM_ElemPtr<KOM_Node>> copyNodesTo(std::vector<KOM_Node *> const &nodes,
                                                      KOM_Node &destination_node)
{
    return KOM().copyNodesTo(nodes, destination_node);
}
inline std::vector<KOM_ElemPtr<KOM_Node>> moveNodesTo(std::vector<KOM_Node *> const &nodes,
                                                      KOM_Node &destination_node)
{
    return KOM().moveNodesTo(nodes, destination_node);
}
inline float time() { return KOM().time(); }
inline void setTime(float time) { KOM().setTime(time); }
inline float frame() { return KOM().frame(); }
inline void setFrame(float frame) { KOM().setFrame(frame); }
inline float fps() { return KOM().fps(); }
inline void setFps(float fps) { KOM().setFps(fps); }
inline float timeToFrame(float time) { return KOM().timeToFrame(time); }
inline float frameToTime(float frame) { return KOM().frameToTime(frame); }
inline float bezier() { return KOM().bezier(); }
inline float constant() { return KOM().constant(); }
inline float cubic() { return KOM().cubic(); }
inline float cycle(float start_frame, float end_frame) { return KOM().cycle(start_frame, end_frame); }
inline float cyclet(float start_time, float end_time) { return KOM().cyclet(start_time, end_time); }
inline float ease() { return KOM().ease(); }
inline float easein() { return KOM().easein(); }
inline float easeinp(float ease_speed) { return KOM().easeinp(ease_speed); }
inline float easeout() { return KOM().easeout(); }
inline float easeoutp(float ease_speed) { return KOM().easeoutp(ease_speed); }
inline float easep(float ease_bias) { return KOM().easep(ease_bias); }
inline float linear() { return KOM().linear(); }
inline float match() { return KOM().match(); }
inline float matchin() { return KOM().matchin(); }
inline float matchout() { return KOM().matchout(); }
inline float qlinear() { return KOM().qlinear(); }
inline float quintic() { return KOM().quintic(); }
inline float repeat(float start_frame, float end_frame) { return KOM().repeat(start_frame, end_frame); }
inline float repeatt(float start_time, float end_time) { return KOM().repeatt(start_time, end_time); }
inline float spline() { return KOM().spline(); }
inline float vmatch() { return KOM().vmatch(); }
inline float vmatchin() { return KOM().vmatchin(); }
inline float vmatchout() { return KOM().vmatchout(); }
inline std::vector<KOM_ElemPtr<KOM_ZelContext>> zelContexts() { return KOM().zelContexts(); }
inline KOM_ZelContext *zelContextForShaderType(KOM_EnumValue &shader_type)
{
    return KOM().zelContextForShaderType(shader_type);
}
inline KOM_ZelContext *zelContextForNodeTypeCategory(KOM_NodeTypeCategory &category)
{
    return KOM().zelContextForNodeTypeCategory(category);
}
inline bool almostEqual(double x, double y) { return KOM().almostEqual(x, y); }
inline std::string findFile(char const *file_name) { return KOM().findFile(file_name); }
inline std::vector<std::string> findFiles(char const *file_name) { return KOM().findFiles(file_name); }
inline std::string findDirectory(char const *directory_name)
{
    return KOM().findDirectory(directory_name);
}
inline std::vector<std::string> findDirectories(char const *directory_name)
{
    return KOM().findDirectories(directory_name);
}
inline std::string readFile(char const *file_path) { return KOM().readFile(file_path); }
inline void setSessionModuleSource(char const *source) { KOM().setSessionModuleSource(source); }
inline void appendSessionModuleSource(char const *source) { KOM().appendSessionModuleSource(source); }
inline std::string sessionModuleSource() { return KOM().sessionModuleSource(); }
inline std::string kscriptCommandHelp(char const *command_name)
{
    return KOM().kscriptCommandHelp(command_name);
}
inline std::vector<std::string> kscript(char const *command) { return KOM().kscript(command); }
inline std::string chsop(char const *text) { return KOM().chsop(text); }
inline double kscriptFloatExpression(char const *expression)
{
    return KOM().kscriptFloatExpression(expression);
}
inline std::string kscriptStringExpression(char const *expression)
{
    return KOM().kscriptStringExpression(expression);
}
inline std::vector<float> kscriptVectorExpression(char const *expression)
{
    return KOM().kscriptVectorExpression(expression);
}
inline std::vector<std::vector<float>> kscriptMatrixExpression(char const *expression)
{
    return KOM().kscriptMatrixExpression(expression);
}
inline std::string kscriptExpandString(char const *text) { return KOM().kscriptExpandString(text); }

// Not a forwarding function: it fills the host's icon cache under the host lock, which it
// waits for without holding the interpreter lock, so that other Python threads keep running.
inline void _addPreloadIcon(std::string name, int width, int height)
{
    KOM_HostLockHeld hostLock;
    KOM_preloadIcon(std::string(name.data(), name.size()), width, height);
}
} // namespace kom
