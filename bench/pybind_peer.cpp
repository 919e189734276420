// The benchmarked operations bound through pybind11 against the same reference host, so that
// kal's rows can be compared with a binding written by hand.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>

#include "model/geometry.h"
#include "model/mathvalues.h"
#include "model/services.h"
#include "model/module.h"
#include "model/nodes.h"
#include "model/parms.h"
#include "model/simulation.h"

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

// The same rule as attribValue: a look-up in the element's geometry, then the data type and
// size pick the Python type.
py::object attribValue(KOM_Point &point, char const *name)
{
    std::unique_ptr<KOM_Attrib> attrib;
    {
        std::unique_ptr<KOM_Geometry> geometry(point.geometry());
        attrib.reset(geometry->findPointAttrib(name));
    }
    if (!attrib)
        throw KOM_OperationFailed();
    switch (attrib->dataType()->valueId)
    {
    case 2:
        if (attrib->size() == 1)
            return py::float_(point.floatAttribValue(*attrib));
        return py::cast(point.floatListAttribValue(*attrib));
    case 3: return py::str(point.stringAttribValue(*attrib));
    case 1:
        if (attrib->size() == 1)
            return py::int_(point.intAttribValue(*attrib));
        return py::cast(point.intListAttribValue(*attrib));
    default: throw KOM_OperationFailed();
    }
}

using PointList = KOM_IterableList<KOM_Point>;

KOM_Point *pointAt(PointList &list, int index)
{
    int const length = list.__len__();
    if (index < 0)
        index += length;
    if (index < 0 || index >= length)
        throw py::index_error("Invalid index");
    return list.itemAt(index);
}

py::tuple points(KOM_Geometry &geometry)
{
    std::vector<KOM_ElemPtr<KOM_Point>> const points = geometry.points();
    py::tuple result(points.size());
    for (std::size_t i = 0; i < points.size(); ++i)
        result[i] = py::cast(points[i].get(), py::return_value_policy::take_ownership);
    return result;
}

// The same rule as DopRecord.field: the stored type code picks the Python type (the math value
// fields give None here, as in the C API peer; the row reads a float field).
py::object recordField(KOM_DopRecord &record, char const *name)
{
    std::unique_ptr<KOM_DopField const> const field(record.rawField(name));
    if (!field)
        return py::none();
    switch (field->typeCode())
    {
    case KOM_IntegerFieldCode: return py::int_(static_cast<KOM_DopIntegerField const &>(*field).value);
    case KOM_BooleanFieldCode: return py::bool_(static_cast<KOM_DopBooleanField const &>(*field).value != 0);
    case KOM_FloatFieldCode: return py::float_(static_cast<KOM_DopFloatField const &>(*field).value);
    case KOM_StringFieldCode: return py::str(static_cast<KOM_DopStringField const &>(*field).value);
    default: return py::none();
    }
}

// Setup only, not timed: a record of a simulated object.
KOM_DopRecord *dopRecord(char const *path, char const *object, char const *type)
{
    std::unique_ptr<KOM_Node> const node(KOM().node(path));
    auto const network = dynamic_cast<KOM_DopNetNode *>(node.get());
    if (!network)
        return nullptr;
    std::unique_ptr<KOM_DopSimulation> const simulation(network->simulation());
    std::unique_ptr<KOM_DopData> const data(simulation->findObject(object));
    return data ? data->record(type) : nullptr;
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
        .def("parm", &KOM_Node::parm, py::return_value_policy::take_ownership)
        .def("worldTransform",
             [](KOM_Node &node) { return dynamic_cast<KOM_ObjNode &>(node).worldTransform(); },
             py::return_value_policy::take_ownership)
        .def("geometry", [](KOM_Node &node) { return dynamic_cast<KOM_SopNode &>(node).geometry(); },
             py::return_value_policy::take_ownership);

    py::class_<KOM_Point>(module, "Point").def("attribValue", &attribValue);
    py::class_<PointList>(module, "_PointTupleGenerator")
        .def("__len__", &PointList::__len__)
        .def("__getitem__", &pointAt, py::return_value_policy::take_ownership);
    py::class_<KOM_Geometry>(module, "Geometry")
        .def("points", &points)
        .def("iterPoints", &KOM_Geometry::iterPoints, py::return_value_policy::take_ownership);

    py::class_<KOM_Vector3>(module, "Vector3")
        .def(py::init<float, float, float>())
        .def("__add__", &KOM_Vector3::__add__);

    py::class_<KOM_Matrix4>(module, "Matrix4")
        .def(py::init<double>())
        .def("__mul__", py::overload_cast<KOM_Matrix4 &>(&KOM_Matrix4::__mul__))
        .def("__mul__", py::overload_cast<double>(&KOM_Matrix4::__mul__));

    module.def("node", [](char const *path) { return KOM().node(path); },
               py::return_value_policy::take_ownership);
    module.def("kscriptExpression", &kscriptExpression);

    py::class_<KOM_DopRecord>(module, "DopRecord").def("field", &recordField);
    module.def("dopRecord", &dopRecord, py::return_value_policy::take_ownership);
}
