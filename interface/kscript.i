// kscript from scripts: expressions with typed results and commands, evaluated by the host.

%{
// The exact contained type decides (no numeric promotion): a double or an int is not a float.
PyObject *KOMkscriptExpressionResultToInterpreterObject(boost::any const &result)
{
    std::type_info const &type = result.type();
    if (type == typeid(float))
        return kal::toPython(*boost::any_cast<float>(&result));
    if (type == typeid(std::string))
        return kal::toPython(*boost::any_cast<std::string>(&result));
    if (type == typeid(std::vector<float>))
        return kal::toPython(*boost::any_cast<std::vector<float>>(&result));
    if (type == typeid(std::vector<std::vector<float>>))
        return kal::toPython(*boost::any_cast<std::vector<std::vector<float>>>(&result));
    Py_RETURN_NONE;
}

namespace kom
{
PyObject *kscriptExpression(char const *expression)
{
    boost::any const result = KOM().kscriptExpression(expression);
    return KOMkscriptExpressionResultToInterpreterObject(result);
}
} // namespace kom
%}

%catches(KOM_NotAvailable, KOM_Error) kom::kscriptCommandHelp;
%catches(KOM_Error) kom::kscript;
%catches(KOM_Error) kom::chsop;
%catches(KOM_OperationFailed, KOM_Error) kom::kscriptExpression;
%catches(KOM_OperationFailed, KOM_Error) kom::kscriptFloatExpression;
%catches(KOM_OperationFailed, KOM_Error) kom::kscriptStringExpression;
%catches(KOM_OperationFailed, KOM_Error) kom::kscriptVectorExpression;
%catches(KOM_OperationFailed, KOM_Error) kom::kscriptMatrixExpression;
%catches(KOM_OperationFailed, KOM_NotAvailable, KOM_Error) kom::kscriptExpandString;

namespace kom
{
std::string kscriptCommandHelp(char const *command_name);
std::vector<std::string> kscript(char const *command);
std::string chsop(char const *text);
PyObject *kscriptExpression(char const *expression);
double kscriptFloatExpression(char const *expression);
std::string kscriptStringExpression(char const *expression);
std::vector<float> kscriptVectorExpression(char const *expression);
std::vector<std::vector<float> > kscriptMatrixExpression(char const *expression);
std::string kscriptExpandString(char const *text);
}

%catches();
