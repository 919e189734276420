// The benchmarked operations bound through pybind11 against the same reference host, so that
// kal's rows can be compared with a binding written by hand.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "model/services.h"
#include "model/module.h"
#include "model/nodes.h"
#include "model/parms.h"

namespace py = pybind11;

namespace
{

// The same rule as Parm.eval: the data type code picks the Python type.
py::object evalParm(KOM_Parm &parm)
{
    switch (parm.dataTypeCode())
    {
    case 2: return py::float_(parm.evalAsFloat());
    case 1: return py::int_(parm.evalAsInt());
    case 3: return py::str(parm.evalAsString());
    default: return py::none();
    }
}

// The same rule as kal.kscriptExpression: the exact contained type picks the Python type.
py::object kscriptExpression(char const *expression)
{
    boost::any const result = KOM().kscriptExpression(expression);
    std::type_info const &type = result.type();
    if (type == typeid(float))
        return py::float_(*boost::any_cast<float>(&result));
    if (type == typeid(std::string))
        return py::str(*boost::any_cast<std::string>(&result));
    if (type == typeid(std::vector<float>))
        return py::tuple(py::cast(*boost::any_cast<std::vector<float>>(&result)));
    if (type == typeid(std::vector<std::vector<float>>))
    {
        auto const &rows = *boost::any_cast<std::vector<std::vector<float>>>(&result);
        py::tuple matrix(rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i)
            matrix[i] = py::tuple(py::cast(rows[i]));
        return std::move(matrix);
    }
    return py::none();
}

} // namespace

PYBIND11_MODULE(kalpeer, module)
{
    static py::exception<KOM_Error> error(module, "Error");
    static py::exception<KOM_ObjectWasDeleted> objectWasDeleted(module, "ObjectWasDeleted", error.ptr());
    py::register_exception_translator([](std::exception_ptr thrown) {
        try
        {
            if (thrown)
                std::rethrow_exception(thrown);
        }
        catch (KOM_ObjectWasDeleted const &caught)
        {
            objectWasDeleted(caught.instanceMessage().c_str());
        }
        catch (KOM_Error const &caught)
        {
            error(caught.instanceMessage().c_str());
        }
    });

    py::class_<KOM_Parm>(module, "Parm").def("eval", &evalParm);

    py::class_<KOM_Node>(module, "Node")
        .def("name", &KOM_Node::name)
        .def("parent", &KOM_Node::parent, py::return_value_policy::take_ownership)
        .def("setPosition", &KOM_Node::setPosition)
        .def("createNode", &KOM_Node::createNode, py::return_value_policy::take_ownership,
             py::arg("node_type_name"), py::arg("node_name") = nullptr,
             py::arg("run_init_scripts") = true, py::arg("load_contents") = true)
        .def("destroy", &KOM_Node::destroy)
        .def("parm", &KOM_Node::parm, py::return_value_policy::take_ownership);

    module.def("node", [](char const *path) { return KOM().node(path); },
               py::return_value_policy::take_ownership);
    module.def("kscriptExpression", &kscriptExpression);
}
