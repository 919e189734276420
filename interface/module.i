// Module-level functions: each forwards to the host's module object.

%catches(KOM_Error);

%catches() kom::__ensureKalvaneInternalsExist;
%catches(KOM_NotAvailable, KOM_Error) kom::__ui;
%catches(KOM_NotAvailable, KOM_Error) kom::__kda;
%catches(KOM_NotAvailable, KOM_Error) kom::__kipFile;
%catches(KOM_NotAvailable, KOM_Error) kom::root;
%catches(KOM_NotAvailable, KOM_Error) kom::pwd;
%catches(KOM_NotAvailable, KOM_ObjectWasDeleted, KOM_Error) kom::setPwd;
%catches(KOM_NotAvailable, KOM_OperationFailed, KOM_Error) kom::cd;
%catches(KOM_NotAvailable, KOM_Error) kom::node;
%catches(KOM_NotAvailable, KOM_Error) kom::parm;
%catches(KOM_NotAvailable, KOM_Error) kom::parmTuple;
%catches(KOM_NotAvailable, KOM_Error) kom::nodeType;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_TypeError, KOM_Error) kom::copyNodesTo;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_TypeError, KOM_Error) kom::moveNodesTo;
%catches(KOM_NotAvailable, KOM_Error) kom::bezier;
%catches(KOM_NotAvailable, KOM_Error) kom::constant;
%catches(KOM_NotAvailable, KOM_Error) kom::cubic;
%catches(KOM_NotAvailable, KOM_Error) kom::cycle;
%catches(KOM_NotAvailable, KOM_Error) kom::cyclet;
%catches(KOM_NotAvailable, KOM_Error) kom::ease;
%catches(KOM_NotAvailable, KOM_Error) kom::easein;
%catches(KOM_NotAvailable, KOM_Error) kom::easeinp;
%catches(KOM_NotAvailable, KOM_Error) kom::easeout;
%catches(KOM_NotAvailable, KOM_Error) kom::easeoutp;
%catches(KOM_NotAvailable, KOM_Error) kom::easep;
%catches(KOM_NotAvailable, KOM_Error) kom::linear;
%catches(KOM_NotAvailable, KOM_Error) kom::match;
%catches(KOM_NotAvailable, KOM_Error) kom::matchin;
%catches(KOM_NotAvailable, KOM_Error) kom::matchout;
%catches(KOM_NotAvailable, KOM_Error) kom::qlinear;
%catches(KOM_NotAvailable, KOM_Error) kom::quintic;
%catches(KOM_NotAvailable, KOM_Error) kom::repeat;
%catches(KOM_NotAvailable, KOM_Error) kom::repeatt;
%catches(KOM_NotAvailable, KOM_Error) kom::spline;
%catches(KOM_NotAvailable, KOM_Error) kom::vmatch;
%catches(KOM_NotAvailable, KOM_Error) kom::vmatchin;
%catches(KOM_NotAvailable, KOM_Error) kom::vmatchout;
%catches(KOM_TypeError, KOM_Error) kom::zelContextForShaderType;
%catches(KOM_TypeError, KOM_Error) kom::zelContextForNodeTypeCategory;
%catches() kom::almostEqual;
%catches(KOM_OperationFailed, KOM_Error) kom::findFile;
%catches(KOM_OperationFailed, KOM_Error) kom::findFiles;
%catches(KOM_OperationFailed, KOM_Error) kom::findDirectory;
%catches(KOM_OperationFailed, KOM_Error) kom::findDirectories;
%catches(KOM_OperationFailed, KOM_Error) kom::readFile;
%catches(KOM_OperationFailed, KOM_Error) kom::setSessionModuleSource;
%catches(KOM_OperationFailed, KOM_Error) kom::appendSessionModuleSource;
%catches() kom::_addPreloadIcon;

%feature("kwargs") kom::exit;

namespace kom
{
void __ensureKalvaneInternalsExist();
std::vector<std::string> _getArgumentAutoComplete(char const *method_name, char const *arguments);
KOM_ui *__ui();
bool isUIAvailable();
KOM_galleries *__galleries();
KOM_kda *__kda();
KOM_kipFile *__kipFile();
KOM_kmath *__kmath();
KOM_shelves *__shelves();
void exit(int exit_code = 0, bool suppress_save_prompt = false);
bool _isExiting();
std::string applicationName();
std::vector<int> applicationVersion();
std::string applicationVersionString();
std::string applicationCompilationDate();
KOM_Node *root();
KOM_Node *pwd();
void setPwd(KOM_Node &node);
void cd(char const *path);
KOM_Node *node(char const *path);
KOM_Parm *parm(char const *path);
KOM_ParmTuple *parmTuple(char const *path);
KOM_NodeType *nodeType(KOM_NodeTypeCategory &category, char const *name);
KOM_NodeTypeCategory *objNodeTypeCategory();
KOM_NodeTypeCategory *sopNodeTypeCategory();
KOM_NodeTypeCategory *popNodeTypeCategory();
KOM_NodeTypeCategory *dopNodeTypeCategory();
KOM_NodeTypeCategory *cop2NodeTypeCategory();
KOM_NodeTypeCategory *shopNodeTypeCategory();
KOM_NodeTypeCategory *vopNodeTypeCategory();
KOM_NodeTypeCategory *ropNodeTypeCategory();
KOM_NodeTypeCategory *chopNodeTypeCategory();
KOM_NodeTypeCategory *popNetNodeTypeCategory();
KOM_NodeTypeCategory *cop2NetNodeTypeCategory();
KOM_NodeTypeCategory *vopNetNodeTypeCategory();
KOM_NodeTypeCategory *chopNetNodeTypeCategory();
KOM_NodeTypeCategory *managerNodeTypeCategory();
KOM_NodeTypeCategory *rootNodeTypeCategory();
std::map<std::string, KOM_NodeTypeCategory *> nodeTypeCategories();
std::vector<KOM_ElemPtr<KOM_Node> > copyNodesTo(std::vector<KOM_Node *> const &nodes, KOM_Node &destination_node);
std::vector<KOM_ElemPtr<KOM_Node> > moveNodesTo(std::vector<KOM_Node *> const &nodes, KOM_Node &destination_node);
float time();
void setTime(float time);
float frame();
void setFrame(float frame);
float fps();
void setFps(float fps);
float timeToFrame(float time);
float frameToTime(float frame);
float bezier();
float constant();
float cubic();
float cycle(float start_frame, float end_frame);
float cyclet(float start_time, float end_time);
float ease();
float easein();
float easeinp(float ease_speed);
float easeout();
float easeoutp(float ease_speed);
float easep(float ease_bias);
float linear();
float match();
float matchin();
float matchout();
float qlinear();
float quintic();
float repeat(float start_frame, float end_frame);
float repeatt(float start_time, float end_time);
float spline();
float vmatch();
float vmatchin();
float vmatchout();
std::vector<KOM_ElemPtr<KOM_ZelContext> > zelContexts();
KOM_ZelContext *zelContextForShaderType(KOM_EnumValue &shader_type);
KOM_ZelContext *zelContextForNodeTypeCategory(KOM_NodeTypeCategory &category);
bool almostEqual(double x, double y);
std::string findFile(char const *file_name);
std::vector<std::string> findFiles(char const *file_name);
std::string findDirectory(char const *directory_name);
std::vector<std::string> findDirectories(char const *directory_name);
std::string readFile(char const *file_path);
void setSessionModuleSource(char const *source);
void appendSessionModuleSource(char const *source);
std::string sessionModuleSource();
void _addPreloadIcon(std::string name, int width, int height);
}

%catches();

%pythoncode %{
# The namespaces are the host's: start it first (the proxy module's start-up runs later).
__ensureKalvaneInternalsExist()


def _publishNamespace(accessor):
    # A namespace the application does not offer here is None rather than a failed import.
    try:
        return accessor()
    except NotAvailable:
        return None

kmath = _publishNamespace(__kmath)
kda = _publishNamespace(__kda)
kipFile = _publishNamespace(__kipFile)
ui = _publishNamespace(__ui)
shelves = _publishNamespace(__shelves)
galleries = _publishNamespace(__galleries)
del _publishNamespace
%}
