"""Error classes, their texts, and the translation of host errors into Python exceptions."""
import types

import pytest

import _kal
import kal
import kalhost
from conftest import geometry_selection, live_handles_kept, raised_by_fault, run_python

DESCRIPTIONS = {
    "Error": "",
    "NotAvailable": "Not available in this context",
    "ObjectWasDeleted": "Attempt to access an object that no longer exists in Kalvane",
    "InvalidInput": "Invalid input",
    "InvalidSize": "Invalid size",
    "TypeError": "Invalid type",
    "ValueError": "Invalid value",
    "OperationFailed": "The attempted operation failed",
    "InvalidNodeName": "The node name is invalid",
    "InvalidNodeType": "The node type is invalid",
    "InitScriptFailed": "Node initialization script failed",
    "MatchDefinitionError": "Failed to match node type definition",
    "PermissionError": "The node/parameter is inside a locked asset",
    "GeometryPermissionError": "Geometry is read-only",
    "KeyframeValueNotSet": "This keyframe value is not set",
    "OperationInterrupted": "The requested operation was interrupted",
    "LoadWarning": "Warnings were generated during load",
}


@pytest.mark.parametrize("name, description", DESCRIPTIONS.items())
def test_each_error_class_answers_its_name_description_and_texts(name, description):
    cls = getattr(kal, name)
    plain, with_message, with_none = cls(), cls("it broke"), cls(None)
    assert plain.exceptionTypeName() == name and plain.description() == description
    assert repr(with_message) == "<kal.%s>" % name
    assert with_message.instanceMessage() == "it broke" and with_none.instanceMessage() == ""
    assert str(plain) == (description + "." if description else "")
    assert str(with_message) == (description + ".\nit broke" if description else "it broke")
    assert isinstance(plain, kal.Error) and isinstance(plain, Exception)
    with pytest.raises(TypeError, match=r"^in method 'new_%s', argument 1 of type 'char const \*'$" % name):
        cls(5)
    with pytest.raises(NotImplementedError) as raised:
        cls("a", "b")
    assert str(raised.value) == (
        "Wrong number of arguments for overloaded function 'new_%s'.\n"
        "  Possible C/C++ prototypes are:\n    KOM_%s(char const *)\n    KOM_%s()\n" % (name, name, name))


LISTED = ["ObjectWasDeleted", "InvalidNodeName", "PermissionError", "OperationFailed",
          "InitScriptFailed", "MatchDefinitionError", "Error"]


@pytest.mark.parametrize("operation, error", [("Node.createNode", error) for error in LISTED] + [
    ("Node.createNode", "InvalidSize"), ("Node.createNode", "GeometryPermissionError"),
    ("Node.createNode", "LoadWarning"), ("Node.__hash__", "ObjectWasDeleted")])
def test_listed_errors_arrive_as_their_own_class_and_others_as_plain_error_with_the_message(operation, error):
    node = kal.node("/obj")
    call = (lambda: node.createNode("geo")) if operation == "Node.createNode" else (lambda: hash(node))
    raised = raised_by_fault(operation, error, call, "why")
    arrived = error if error in LISTED and operation == "Node.createNode" else "Error"
    assert type(raised) is getattr(kal, arrived) and raised.exceptionTypeName() == arrived and raised.this.own()
    if arrived == "Error":
        assert raised.description() == "" and str(raised) == "why"


def test_errors_the_host_should_not_throw_still_become_python_exceptions():
    kalhost.fail("Module.node", "out_of_range", "far")
    with pytest.raises(RuntimeError, match="far"):
        kal.node("/obj")
    kalhost.fail("Module.exit", "OperationFailed", "refused")
    with pytest.raises(kal.Error, match="refused"):
        kal.exit()


def test_before_registration_an_error_is_a_runtime_error_holding_the_pointer():
    process = run_python(
        "import _kal, kalhost\n"
        "kalhost.fail('Module.root', 'NotAvailable', 'x')\n"
        "try:\n    _kal.root()\n"
        "except RuntimeError as e:\n    print(repr(e.args[0]))\n")
    assert process.stdout.startswith("<Swig Object of type 'KOM_NotAvailable *' at 0x"), process.stderr


def test_system_exit_proxy_is_a_plain_class_holding_a_code():
    assert kal.SystemExit(4).code() == 4
    assert not issubclass(kal.SystemExit, BaseException)
    with pytest.raises(TypeError, match=r"^in method 'new_SystemExit', argument 1 of type 'int'$"):
        kal.SystemExit("4")


def test_translated_errors_do_not_leak_their_copies():
    with live_handles_kept():
        for _ in range(100):
            kalhost.fail("Node.name", "ObjectWasDeleted")
            with pytest.raises(kal.ObjectWasDeleted):
                kal.node("/obj").name()


# Every form of every overloaded entry, and the defaulted forms of keyword entries, each with the
# errors its own row translates; any other error arrives as plain Error. Forms made from default
# arguments are wrapped separately and must keep the row of the operation they shorten. A row may
# name the host operation when it is not the entry's own, and is None for a form the module
# computes itself: a fault on that operation then changes nothing.
WIRING = ("ObjectWasDeleted", "OperationFailed", "InvalidInput", "PermissionError", "Error")
NETWORK_BOX = ("ObjectWasDeleted", "InvalidNodeName", "OperationFailed", "Error")
SET_NUMBER = ("ObjectWasDeleted", "PermissionError", "TypeError", "Error")
SET_TEXT = ("ObjectWasDeleted", "OperationFailed", "PermissionError", "TypeError", "Error")
SET_FLOATS = ("ObjectWasDeleted", "InvalidSize", "PermissionError", "TypeError", "Error")
SET_STRINGS = SET_FLOATS + ("OperationFailed",)
PLAIN = ("ObjectWasDeleted", "Error")

FORMS = {
    "Node_setInput": {
        "setInput(int,KOM_Node *,int)": (lambda s: s.inner.setInput(0, s.other, 0), WIRING),
        "setInput(int,KOM_Node *)": (lambda s: s.inner.setInput(0, s.other), WIRING),
        "setInput(int,KOM_SubnetIndirectInput &)": (lambda s: s.inner.setInput(0, s.indirect), WIRING),
    },
    "Node_setFirstInput": {
        "setFirstInput(KOM_Node *,int)": (lambda s: s.inner.setFirstInput(s.other, 0), WIRING),
        "setFirstInput(KOM_Node *)": (lambda s: s.inner.setFirstInput(s.other), WIRING),
        "setFirstInput(KOM_SubnetIndirectInput &)": (lambda s: s.inner.setFirstInput(s.indirect), WIRING),
    },
    "Node_setNextInput": {
        "setNextInput(KOM_Node *,int)": (lambda s: s.inner.setNextInput(s.other, 0), WIRING),
        "setNextInput(KOM_Node *)": (lambda s: s.inner.setNextInput(s.other), WIRING),
        "setNextInput(KOM_SubnetIndirectInput &)": (lambda s: s.inner.setNextInput(s.indirect), WIRING),
    },
    "Node_insertInput": {
        "insertInput(int,KOM_Node *,int)": (lambda s: s.inner.insertInput(0, s.other, 0), WIRING),
        "insertInput(int,KOM_Node *)": (lambda s: s.inner.insertInput(0, s.other), WIRING),
        "insertInput(int,KOM_SubnetIndirectInput &)": (lambda s: s.inner.insertInput(0, s.indirect), WIRING),
    },
    "Node_inputAncestors": {
        "inputAncestors(bool,bool)": (lambda s: s.inner.inputAncestors(True, False), PLAIN),
        "inputAncestors(bool)": (lambda s: s.inner.inputAncestors(True), PLAIN),
        "inputAncestors()": (lambda s: s.inner.inputAncestors(), PLAIN),
    },
    "Node_moveToGoodPosition": {
        "moveToGoodPosition(bool,bool,bool,bool)": (lambda s: s.inner.moveToGoodPosition(1, 1, 1, 1), PLAIN),
        "moveToGoodPosition(bool,bool,bool)": (lambda s: s.inner.moveToGoodPosition(1, 1, 1), PLAIN),
        "moveToGoodPosition(bool,bool)": (lambda s: s.inner.moveToGoodPosition(1, 1), PLAIN),
        "moveToGoodPosition(bool)": (lambda s: s.inner.moveToGoodPosition(1), PLAIN),
        "moveToGoodPosition()": (lambda s: s.inner.moveToGoodPosition(), PLAIN),
    },
    "Node_setSelected": {
        "setSelected(bool,bool)": (lambda s: s.inner.setSelected(True, True), PLAIN),
        "setSelected(bool)": (lambda s: s.inner.setSelected(True), PLAIN),
    },
    "Node_setCurrent": {
        "setCurrent(bool,bool)": (lambda s: s.inner.setCurrent(True, True), PLAIN),
        "setCurrent(bool)": (lambda s: s.inner.setCurrent(True), PLAIN),
    },
    "Node_allowEditingOfContents": {
        "allowEditingOfContents(bool)": (lambda s: s.subnet.allowEditingOfContents(True), PLAIN),
        "allowEditingOfContents()": (lambda s: s.subnet.allowEditingOfContents(), PLAIN),
    },
    "Node_createNetworkBox": {
        "createNetworkBox(char const *)": (lambda s: s.subnet.createNetworkBox("b"), NETWORK_BOX),
        "createNetworkBox()": (lambda s: s.subnet.createNetworkBox(), NETWORK_BOX),
    },
    "Node_copyNetworkBox": {
        "copyNetworkBox(KOM_NetworkBox &,char const *,bool)":
            (lambda s: s.subnet.copyNetworkBox(s.box, "b", False), NETWORK_BOX),
        "copyNetworkBox(KOM_NetworkBox &,char const *)":
            (lambda s: s.subnet.copyNetworkBox(s.box, "b"), NETWORK_BOX),
        "copyNetworkBox(KOM_NetworkBox &)": (lambda s: s.subnet.copyNetworkBox(s.box), NETWORK_BOX),
    },
    "Node_createNode": {
        "createNode(node_type_name)": (lambda s: s.subnet.createNode("null"), (
            "ObjectWasDeleted", "InvalidNodeName", "PermissionError", "OperationFailed",
            "InitScriptFailed", "MatchDefinitionError", "Error")),
    },
    "Node_layoutChildren": {
        "layoutChildren()": (lambda s: s.subnet.layoutChildren(), ("ObjectWasDeleted", "OperationFailed", "Error")),
    },
    "Node_parmAliases": {
        "parmAliases()": (lambda s: s.subnet.parmAliases(), PLAIN),
    },
    "Node_changeNodeType": {
        "changeNodeType(new_node_type)": (lambda s: s.inner.changeNodeType("subnet"),
                                          ("ObjectWasDeleted", "OperationFailed", "TypeError")),
    },
    "Node_createDigitalAsset": {
        "createDigitalAsset()": (lambda s: s.subnet.createDigitalAsset(),
                                 ("ObjectWasDeleted", "InvalidNodeType", "OperationFailed", "Error")),
    },
    "Node_collapseIntoSubnet": {
        "collapseIntoSubnet(child_nodes)": (lambda s: s.subnet.collapseIntoSubnet([s.inner]), (
            "ObjectWasDeleted", "TypeError", "InvalidNodeName", "OperationFailed", "Error")),
    },
    "ObjNode_buildLookatRotation": {
        "buildLookatRotation(KOM_ObjNode &,KOM_Vector3 *)":
            (lambda s: s.geo.buildLookatRotation(s.target, kal.Vector3(0, 0, 1)), PLAIN),
        "buildLookatRotation(KOM_ObjNode &)": (lambda s: s.geo.buildLookatRotation(s.target), PLAIN),
    },
    "ObjNode_setWorldTransform": {
        "setWorldTransform(matrix)": (lambda s: s.geo.setWorldTransform(kal.Matrix4(1)),
                                      ("ObjectWasDeleted", "PermissionError", "Error")),
    },
    "ObjNode_setParmTransform": {
        "setParmTransform(matrix)": (lambda s: s.geo.setParmTransform(kal.Matrix4(1)),
                                     ("ObjectWasDeleted", "PermissionError", "Error")),
    },
    "ShopNode_shaderString": {
        "shaderString(char const *)": (lambda s: s.shop.shaderString("RIB"), ("ObjectWasDeleted", "OperationFailed", "Error")),
        "shaderString()": (lambda s: s.shop.shaderString(), ("ObjectWasDeleted", "OperationFailed", "Error")),
    },
    # Translates nothing: every error arrives through the safety net as plain Error.
    "ShopNode_shaderName": {
        "shaderName(bool)": (lambda s: s.shop.shaderName(False), ()),
        "shaderName()": (lambda s: s.shop.shaderName(), ()),
    },
    "VopNetNode_saveCodeToFile": {
        "saveCodeToFile(file_name)": (lambda s: s.vopnet.saveCodeToFile("/nonexistent/code.zel"),
                                      ("ObjectWasDeleted", "OperationFailed", "Error")),
    },
    "NetworkBox_destroy": {
        "destroy(bool)": (lambda s: s.box.destroy(False), ("ObjectWasDeleted", "OperationFailed", "Error")),
        "destroy()": (lambda s: s.box.destroy(), ("ObjectWasDeleted", "OperationFailed", "Error")),
    },
    "Parm_set": {
        "set(float)": (lambda s: s.tx.set(1.5), SET_NUMBER),
        "set(int)": (lambda s: s.tx.set(1), SET_NUMBER),
        "set(char const *)": (lambda s: s.tx.set("1"), SET_TEXT),
        "set(KOM_Parm &,KOM_EnumValue *)": (lambda s: s.tx.set(s.ty, kal.exprLanguage.Python), SET_TEXT),
        "set(KOM_Parm &)": (lambda s: s.tx.set(s.ty), SET_TEXT),
    },
    "Parm_setPending": {
        "setPending(float)": (lambda s: s.tx.setPending(1.5), SET_NUMBER),
        "setPending(int)": (lambda s: s.tx.setPending(1), SET_NUMBER),
        "setPending(char const *)": (lambda s: s.tx.setPending("1"), SET_TEXT),
    },
    "Parm_setExpression": {
        "setExpression(char const *,KOM_EnumValue *)":
            (lambda s: s.tx.setExpression("1", kal.exprLanguage.Python), SET_NUMBER),
        "setExpression(char const *)": (lambda s: s.tx.setExpression("1"), SET_NUMBER),
    },
    "ParmTuple_set": {
        "set(std::vector<float,std::allocator<float > > const &)": (lambda s: s.t.set((1, 2, 3)), SET_FLOATS),
        "set(std::vector<std::string,std::allocator<std::string > > const &)":
            (lambda s: s.t.set(("a", "b", "c")), SET_STRINGS),
    },
    "ParmTuple_setPending": {
        "setPending(std::vector<float,std::allocator<float > > const &)":
            (lambda s: s.t.setPending((1, 2, 3)), SET_FLOATS),
        "setPending(std::vector<std::string,std::allocator<std::string > > const &)":
            (lambda s: s.t.setPending(("a", "b", "c")), SET_STRINGS),
    },
    # Keyframe expressions translate only the host's TypeError; constructors translate nothing
    # (a third item names the host operation when it is not the entry's own).
    "BaseKeyframe_setExpression": {
        "setExpression(std::string const &,KOM_EnumValue *)":
            (lambda s: kal.Keyframe().setExpression("1", kal.exprLanguage.Kscript), ("TypeError",)),
        "setExpression(std::string const &)": (lambda s: kal.Keyframe().setExpression("1"), ("TypeError",)),
    },
    "new_Keyframe": {
        "KOM_Keyframe()": (lambda s: kal.Keyframe(), (), "Module.newKeyframe"),
        "KOM_Keyframe(double)": (lambda s: kal.Keyframe(1), (), "Module.newKeyframe"),
        "KOM_Keyframe(double,double)": (lambda s: kal.Keyframe(1, 2), (), "Module.newKeyframe"),
        "KOM_Keyframe(KOM_Keyframe const &)": (lambda s: kal.Keyframe(s.key), (), "Keyframe.Keyframe"),
    },
    "new_StringKeyframe": {form: (call, (), "StringKeyframe.StringKeyframe") for form, call in (
        ("KOM_StringKeyframe()", lambda s: kal.StringKeyframe()),
        ("KOM_StringKeyframe(std::string const &,KOM_EnumValue &)",
         lambda s: kal.StringKeyframe("e", kal.exprLanguage.Kscript)),
        ("KOM_StringKeyframe(std::string const &)", lambda s: kal.StringKeyframe("e")),
        ("KOM_StringKeyframe(std::string const &,double,KOM_EnumValue &)",
         lambda s: kal.StringKeyframe("e", 1.0, kal.exprLanguage.Kscript)),
        ("KOM_StringKeyframe(std::string const &,double)", lambda s: kal.StringKeyframe("e", 1.0)),
        ("KOM_StringKeyframe(KOM_StringKeyframe const &)", lambda s: kal.StringKeyframe(s.string_key)),
    )},
    "SopNodeType_selectors": {
        "selectors(std::vector<int,std::allocator<int > >)":
            (lambda s: s.sop_type.selectors([0]), ("ObjectWasDeleted", "OperationFailed", "Error")),
        "selectors()": (lambda s: s.sop_type.selectors(), ("ObjectWasDeleted", "OperationFailed", "Error")),
    },
}

# The scene file: the host operation of each form fails before any file is touched.
SAVE = ("OperationFailed", "Error")
LOAD = ("LoadWarning", "OperationFailed", "TypeError", "Error")
FORMS["kipFile_save"] = {
    "save(char const *)": (lambda s: kal.kipFile.save("x.kip"), SAVE),
    "save()": (lambda s: kal.kipFile.save(), SAVE),
}
FORMS["kipFile_clear"] = {
    "clear(bool)": (lambda s: kal.kipFile.clear(True), SAVE),
    "clear()": (lambda s: kal.kipFile.clear(), SAVE),
}
FORMS["kipFile_load"] = {
    "load(char const *,bool)": (lambda s: kal.kipFile.load("x.kip", True), LOAD),
    "load(char const *)": (lambda s: kal.kipFile.load("x.kip"), LOAD),
}
FORMS["kipFile_merge"] = {
    "merge(char const *,char const *,bool)": (lambda s: kal.kipFile.merge("x.kip", "*", True), LOAD),
    "merge(char const *,char const *)": (lambda s: kal.kipFile.merge("x.kip", "*"), LOAD),
    "merge(char const *)": (lambda s: kal.kipFile.merge("x.kip"), LOAD),
}
FORMS["kipFile_collisionNodesIfMerged"] = {
    "collisionNodesIfMerged(char const *,char const *)":
        (lambda s: kal.kipFile.collisionNodesIfMerged("x.kip", "*"), ("OperationFailed", "TypeError", "Error")),
    "collisionNodesIfMerged(char const *)":
        (lambda s: kal.kipFile.collisionNodesIfMerged("x.kip"), ("OperationFailed", "TypeError", "Error")),
}

# The math values. Their host operations list few errors or none.
FLOATS = "std::vector<float,std::allocator<float > > const &"
DOUBLES = "std::vector<double,std::allocator<double > > const &"
ROWS = ("std::vector<std::vector<double,std::allocator<double > >,"
        "std::allocator<std::vector<double,std::allocator<double > > > > const &")
SIZE = ("InvalidSize",)
KMATH = ("ValueError", "Error")
for n, cls in ((2, kal.Vector2), (3, kal.Vector3), (4, kal.Vector4)):
    name = "Vector%d" % n
    FORMS["new_" + name] = {
        "KOM_%s()" % name: (lambda s, cls=cls: cls(), None, name + ".setTo"),
        "KOM_%s(%s)" % (name, ",".join(["float"] * n)): (lambda s, cls=cls, n=n: cls(*[1] * n), None,
                                                        name + ".setTo"),
        "KOM_%s(%s)" % (name, FLOATS): (lambda s, cls=cls, n=n: cls([1] * n), SIZE, name + ".setTo"),
    }
for name, cls, count in (("Vector2", kal.Vector2, 2), ("Vector3", kal.Vector3, 3),
                         ("Vector4", kal.Vector4, 4), ("Quaternion", kal.Quaternion, 4),
                         ("BoundingBox", kal.BoundingBox, 6)):
    for operation in ("isAlmostEqual", "almostEqual"):
        FORMS["%s_%s" % (name, operation)] = {
            "%s(KOM_%s &,float)" % (operation, name):
                (lambda s, cls=cls, op=operation: getattr(cls(), op)(cls(), 0.5), (),
                 name + ".isAlmostEqual"),
            "%s(KOM_%s &)" % (operation, name):
                (lambda s, cls=cls, op=operation: getattr(cls(), op)(cls()), (), name + ".isAlmostEqual"),
        }
FORMS["new_Quaternion"] = {
    "KOM_Quaternion()": (lambda s: kal.Quaternion(), None, "Quaternion.setTo"),
    "KOM_Quaternion(float,float,float,float)":
        (lambda s: kal.Quaternion(1, 2, 3, 4), None, "Quaternion.setTo"),
}
FORMS["new_BoundingBox"] = {
    "KOM_BoundingBox()": (lambda s: kal.BoundingBox(), None, "BoundingBox.setTo"),
    "KOM_BoundingBox(float,float,float,float,float,float)":
        (lambda s: kal.BoundingBox(0, 0, 0, 1, 1, 1), None, "BoundingBox.setTo"),
}
FORMS["BoundingBox_enlargeToContain"] = {
    "enlargeToContain(KOM_Vector3 const &)":
        (lambda s: kal.BoundingBox().enlargeToContain(kal.Vector3()), ()),
    "enlargeToContain(KOM_BoundingBox const &)":
        (lambda s: kal.BoundingBox().enlargeToContain(kal.BoundingBox()), ()),
}
FORMS["new_Color"] = {
    "KOM_Color()": (lambda s: kal.Color(), None, "Module.Color"),
    "KOM_Color(%s)" % FLOATS: (lambda s: kal.Color([1, 0, 0]), SIZE, "Module.Color"),
}
for n, cls in ((3, kal.Matrix3), (4, kal.Matrix4)):
    name = "Matrix%d" % n
    FORMS["new_" + name] = {
        "KOM_%s()" % name: (lambda s, cls=cls: cls(), None, name + ".setTo"),
        "KOM_%s(double)" % name: (lambda s, cls=cls: cls(1), None, name + ".setTo"),
        "KOM_%s(%s)" % (name, DOUBLES): (lambda s, cls=cls, n=n: cls([0] * (n * n)), SIZE, name + ".setTo"),
    }
    FORMS[name + "_isAlmostEqual"] = {
        "isAlmostEqual(KOM_%s &,double)" % name: (lambda s, cls=cls: cls().isAlmostEqual(cls(), 0.5), ()),
        "isAlmostEqual(KOM_%s &)" % name: (lambda s, cls=cls: cls().isAlmostEqual(cls()), ()),
    }
    FORMS[name + "_setTo"] = {
        "setTo(%s)" % DOUBLES: (lambda s, cls=cls, n=n: cls().setTo([0] * (n * n)), SIZE),
        "setTo(%s)" % ROWS: (lambda s, cls=cls, n=n: cls().setTo([[0] * n] * n), SIZE),
    }
FORMS["new_Matrix4"]["KOM_Matrix4(%s)" % ROWS] = (lambda s: kal.Matrix4([[0] * 4] * 4), SIZE, "Matrix4.setTo")
FORMS["Matrix4_extractTranslates"] = {
    "extractTranslates(char const *)":
        (lambda s: kal.Matrix4(1).extractTranslates("srt"), ("OperationFailed", "ValueError")),
    "extractTranslates()": (lambda s: kal.Matrix4(1).extractTranslates(), ("OperationFailed", "ValueError")),
}
FORMS["kmath_buildTranslate"] = {
    "buildTranslate(double,double,double)": (lambda s: kal.kmath.buildTranslate(1, 2, 3), ()),
    "buildTranslate(%s)" % DOUBLES: (lambda s: kal.kmath.buildTranslate([1, 2, 3]), ()),
    "buildTranslate(KOM_Vector3 const &)": (lambda s: kal.kmath.buildTranslate(kal.Vector3()), ()),
}
for builder in ("buildScale", "buildShear"):
    FORMS["kmath_" + builder] = {
        "%s(double,double,double)" % builder: (lambda s, b=builder: getattr(kal.kmath, b)(1, 2, 3), ()),
        "%s(%s)" % (builder, DOUBLES): (lambda s, b=builder: getattr(kal.kmath, b)([1, 2, 3]), KMATH),
        "%s(KOM_Vector3 const &)" % builder:
            (lambda s, b=builder: getattr(kal.kmath, b)(kal.Vector3(1, 2, 3)), ()),
    }
FORMS["kmath_buildRotate"] = {
    "buildRotate(double,double,double,char const *)":
        (lambda s: kal.kmath.buildRotate(1, 2, 3, "zyx"), KMATH),
    "buildRotate(double,double,double)": (lambda s: kal.kmath.buildRotate(1, 2, 3), KMATH),
    "buildRotate(%s,char const *)" % DOUBLES: (lambda s: kal.kmath.buildRotate([1, 2, 3], "zyx"), KMATH),
    "buildRotate(%s)" % DOUBLES: (lambda s: kal.kmath.buildRotate([1, 2, 3]), KMATH),
    "buildRotate(KOM_Vector3 const &,char const *)":
        (lambda s: kal.kmath.buildRotate(kal.Vector3(), "zyx"), KMATH),
    "buildRotate(KOM_Vector3 const &)": (lambda s: kal.kmath.buildRotate(kal.Vector3()), KMATH),
}
FORMS["kmath_buildRotateAboutAxis"] = {
    "buildRotateAboutAxis(%s,double)" % DOUBLES:
        (lambda s: kal.kmath.buildRotateAboutAxis([0, 0, 1], 5), KMATH),
    "buildRotateAboutAxis(KOM_Vector3 const &,double)":
        (lambda s: kal.kmath.buildRotateAboutAxis(kal.Vector3(0, 0, 1), 5), ()),
}


def _simulated_object():
    network = kal.node("/obj").createNode("dopnet")
    network.createNode("rigidobject", "ball")
    return network.simulation().findObject("ball")


FORMS["DopData_record"] = {
    "record(char const *,int)": (lambda s: _simulated_object().record("Basic", 0), PLAIN),
    "record(char const *)": (lambda s: _simulated_object().record("Basic"), PLAIN),
}



# Digital assets: a definition of an embedded asset made afresh; kda refers to no scene object.
def _definition():
    return kal.node("/obj").createNode("subnet").createDigitalAsset("errors_asset").type().definition()


LIBRARY = ("OperationFailed", "Error")
FORMS["KDADefinition_addSection"] = {
    "addSection(char const *,std::string const &)":
        (lambda s: _definition().addSection("s", "text"), ("ObjectWasDeleted", "OperationFailed", "Error")),
    "addSection(char const *)":
        (lambda s: _definition().addSection("s"), ("ObjectWasDeleted", "OperationFailed", "Error")),
}
for operation in ("installFile", "uninstallFile"):
    FORMS["kda_" + operation] = {
        "%s(char const *,char const *,bool)" % operation:
            (lambda s, op=operation: getattr(kal.kda, op)("a.kda", "libraries", False), LIBRARY),
        "%s(char const *,char const *)" % operation:
            (lambda s, op=operation: getattr(kal.kda, op)("a.kda", "libraries"), LIBRARY),
        "%s(char const *)" % operation: (lambda s, op=operation: getattr(kal.kda, op)("a.kda"), LIBRARY),
    }
FORMS["kda_renameSource"] = {
    "renameSource(char const *,char const *)": (lambda s: kal.kda.renameSource("a.kda", "b.kda"), LIBRARY),
    "renameSource(char const *)": (lambda s: kal.kda.renameSource("a.kda"), LIBRARY),
}

# Geometry: each form reaches the host on a frozen box that has an int attribute "a" of every
# class, made afresh for each call.
class _Fickle:
    """One item, a str at the first look and an int after it: it fails the test of the float
    sequence and then converts as ints, the only way to the by-name int-sequence form."""

    def __init__(self):
        self.looks = 0

    def __len__(self):
        return 1

    def __getitem__(self, index):
        if index:
            raise IndexError(index)
        self.looks += 1
        return "x" if self.looks == 1 else 1


def _attributed():
    geometry = kal.node("/obj").createNode("geo").createNode("box").geometry().freeze()
    for attrib_type in (kal.attribType.Point, kal.attribType.Prim, kal.attribType.Vertex,
                        kal.attribType.Global):
        geometry.addAttrib(attrib_type, "a", 1)
    return geometry


def _geometry_forms():
    elements = {
        "Geometry": (lambda g: g, lambda g: g.findGlobalAttrib("a")),
        "Point": (lambda g: g.points()[0], lambda g: g.findPointAttrib("a")),
        "Prim": (lambda g: g.prims()[0], lambda g: g.findPrimAttrib("a")),
        "Vertex": (lambda g: g.prims()[0].vertex(0), lambda g: g.findVertexAttrib("a")),
    }
    getter_row = ("ObjectWasDeleted", "OperationFailed", "Error")
    forms = {}
    for cls, (element, attrib) in elements.items():
        for getter in ("floatAttribValue", "floatListAttribValue", "intAttribValue",
                       "intListAttribValue", "stringAttribValue", "attribValue"):
            def by_name(s, element=element, getter=getter):
                return getattr(element(_attributed()), getter)("a")

            def by_attrib(s, element=element, attrib=attrib, getter=getter):
                geometry = _attributed()
                return getattr(element(geometry), getter)(attrib(geometry))
            # attribValue is the binding's own: the host operation it reaches is the data type's.
            extra = ("Attrib.dataType",) if getter == "attribValue" else ()
            row = ("OperationFailed", "ObjectWasDeleted", "Error") if extra else getter_row
            forms["%s_%s" % (cls, getter)] = {
                "%s(char const *)" % getter: (by_name, row) + extra,
                "%s(KOM_Attrib &)" % getter: (by_attrib, row) + extra,
            }
    point, floats = kal.attribType.Point, "std::vector<float,std::allocator<float > > const &"
    ints = "std::vector<int,std::allocator<int > > const &"
    add = ("ObjectWasDeleted", "GeometryPermissionError", "TypeError", "Error")
    forms["Geometry_addAttrib"] = {
        "addAttrib(KOM_EnumValue &,char const *,%s)" % form: (
            lambda s, value=value: _attributed().addAttrib(point, "b", *value), add)
        for form, value in (("int", (1,)), ("float", (1.5,)), ("char const *", ("s",)),
                            (ints, ((1, 2),)), (floats + ",bool", ((1.5,), True)), (floats, ((1.5,),)))}
    by_name = ("ObjectWasDeleted", "GeometryPermissionError", "OperationFailed", "TypeError", "Error")
    forms["Geometry_setGlobalAttribValue"] = {
        "setGlobalAttribValue(%s,%s)" % (first, form): (
            lambda s, named=first == "char const *", value=value: _attributed().setGlobalAttribValue(
                "a" if named else _attributed().findGlobalAttrib("a"), value()),
            by_name if first == "char const *" else tuple(e for e in by_name if e != "TypeError"))
        for first in ("char const *", "KOM_Attrib &")
        for form, value in (("int", lambda: 1), ("float", lambda: 1.5), ("char const *", lambda: "s"),
                            (ints, _Fickle if first == "char const *" else lambda: (1, 2)),
                            (floats, lambda: (1.5, 2)))}
    delete = ("ObjectWasDeleted", "GeometryPermissionError", "Error")
    forms["Geometry_deletePrims"] = {
        "deletePrims(std::vector<KOM_Prim *,std::allocator<KOM_Prim * > > const &%s)" % form: (
            lambda s, flag=flag: (lambda g: g.deletePrims(g.prims()[:1], *flag))(_attributed()), delete)
        for form, flag in ((",bool", (True,)), ("", ()))}
    return forms


FORMS.update(_geometry_forms())

GALLERY_ENTRY = ("ObjectWasDeleted", "OperationFailed", "PermissionError", "Error")
FORMS["galleries_createGalleryEntry"] = {
    "createGalleryEntry(char const *,char const *,KOM_Node *)":
        (lambda s: kal.galleries.createGalleryEntry("x.gal", "e", s.inner), GALLERY_ENTRY),
    "createGalleryEntry(char const *,char const *)":
        (lambda s: kal.galleries.createGalleryEntry("x.gal", "e"), GALLERY_ENTRY),
}
FORMS["Gallery_createEntry"] = {
    "createEntry(char const *,KOM_Node *)": (lambda s: kal.galleries.galleries()[0].createEntry("e", s.inner), GALLERY_ENTRY),
    "createEntry(char const *)": (lambda s: kal.galleries.galleries()[0].createEntry("e"), GALLERY_ENTRY),
}


# The user interface: tabs of the baseline desktop, and a selection of one box.
def _ui_forms():
    desktop = lambda: kal.ui.curDesktop()
    tab_lookup = ("ObjectWasDeleted", "NotAvailable", "TypeError", "Error")
    interactive = ("ObjectWasDeleted", "NotAvailable", "OperationFailed", "OperationInterrupted", "Error")
    viewers = {"SceneViewer": lambda: desktop().paneTabOfType(kal.paneTabType.SceneViewer),
               "ParticleViewer": lambda: desktop().panes()[0].createTab(kal.paneTabType.ParticleViewer)}

    selection = geometry_selection

    forms = {
        "Desktop_paneTabOfType": {
            "paneTabOfType(KOM_EnumValue &,int)":
                (lambda s: desktop().paneTabOfType(kal.paneTabType.Parm, 0), tab_lookup),
            "paneTabOfType(KOM_EnumValue &)": (lambda s: desktop().paneTabOfType(kal.paneTabType.Parm), tab_lookup),
        },
        "Desktop_displaySideHelp": {
            "displaySideHelp(bool)": (lambda s: desktop().displaySideHelp(True),
                                      ("ObjectWasDeleted", "NotAvailable", "OperationFailed", "Error")),
            "displaySideHelp()": (lambda s: desktop().displaySideHelp(),
                                  ("ObjectWasDeleted", "NotAvailable", "OperationFailed", "Error")),
        },
        "Pane_tabOfType": {
            "tabOfType(KOM_EnumValue &,int)":
                (lambda s: desktop().panes()[0].tabOfType(kal.paneTabType.Parm, 0), tab_lookup),
            "tabOfType(KOM_EnumValue &)": (lambda s: desktop().panes()[0].tabOfType(kal.paneTabType.Parm), tab_lookup),
        },
        "HelpBrowser_displayData": {
            "displayData(char const *,char const *)":
                (lambda s: desktop().displaySideHelp().displayData("d", ""), ("ObjectWasDeleted", "NotAvailable", "Error")),
            "displayData(char const *)":
                (lambda s: desktop().displaySideHelp().displayData("d"), ("ObjectWasDeleted", "NotAvailable", "Error")),
        },
        "GeometrySelection_mergedNode": {
            "mergedNode(KOM_Node &,char const *,bool,bool)":
                (lambda s: selection().mergedNode(kal.node("/obj"), "m", False, False),
                 ("ObjectWasDeleted", "OperationFailed", "Error")),
            "mergedNode(KOM_Node &,char const *,bool)":
                (lambda s: selection().mergedNode(kal.node("/obj"), "m", False),
                 ("ObjectWasDeleted", "OperationFailed", "Error")),
            "mergedNode(KOM_Node &,char const *)":
                (lambda s: selection().mergedNode(kal.node("/obj"), "m"), ("ObjectWasDeleted", "OperationFailed", "Error")),
        },
    }
    for operation in ("selectionStrings", "mergedSelectionString"):
        forms["GeometrySelection_" + operation] = {
            "%s(bool)" % operation: (lambda s, op=operation: getattr(selection(), op)(True), PLAIN),
            "%s()" % operation: (lambda s, op=operation: getattr(selection(), op)(), PLAIN),
        }
    for cls, viewer in viewers.items():
        forms[cls + "_enterViewState"] = {
            "enterViewState(bool)": (lambda s, v=viewer: v().enterViewState(False), interactive),
            "enterViewState()": (lambda s, v=viewer: v().enterViewState(), interactive),
        }
        forms[cls + "_enterCurrentNodeState"] = {
            "enterCurrentNodeState(bool)": (lambda s, v=viewer: v().enterCurrentNodeState(False), interactive),
            "enterCurrentNodeState()": (lambda s, v=viewer: v().enterCurrentNodeState(), interactive),
        }
        forms[cls + "_setCurrentState"] = {
            "setCurrentState(char const *,bool)": (lambda s, v=viewer: v().setCurrentState("view", False), interactive),
            "setCurrentState(char const *)": (lambda s, v=viewer: v().setCurrentState("view"), interactive),
        }
    return forms


FORMS.update(_ui_forms())


def overloaded_entries():
    """Each overloaded entry of _kal and the prototypes its dispatcher lists, in order."""
    found = {}
    for name in dir(_kal):
        # Containers, iterators and error constructors call no host operation.
        owner = name[len("new_"):] if name.startswith("new_") else name
        if owner.startswith("_") or "Iterator" in owner or owner in DESCRIPTIONS:
            continue
        try:
            getattr(_kal, name)(*[None] * 30)
        except NotImplementedError as raised:
            found[name] = [line.strip() for line in str(raised).splitlines()[2:]]
        except Exception:
            pass
    return found


def test_every_form_of_every_overloaded_entry_has_a_row():
    overloaded = overloaded_entries()
    assert overloaded, "no overloaded entries found"
    for entry, prototypes in overloaded.items():
        assert list(FORMS.get(entry, {})) == prototypes, "forms of %s without their row" % entry


@pytest.fixture
def scene():
    subnet = kal.node("/obj").createNode("subnet")
    geo = kal.node("/obj").createNode("geo")
    return types.SimpleNamespace(
        subnet=subnet, inner=subnet.createNode("null"), other=subnet.createNode("null"),
        indirect=subnet.indirectInputs()[0], box=subnet.createNetworkBox("box"),
        geo=geo, target=kal.node("/obj").createNode("null"), shop=kal.node("/shop").createNode("surface"),
        vopnet=kal.node("/vop").createNode("vopnet"),
        tx=geo.parm("tx"), ty=geo.parm("ty"), t=geo.parmTuple("t"),
        sop_type=geo.createNode("box").type(), key=kal.Keyframe(1.0), string_key=kal.StringKeyframe("e"))


@pytest.mark.parametrize("entry, form", [(entry, form) for entry in FORMS for form in FORMS[entry]],
                         ids=lambda name: name)
def test_each_form_translates_the_errors_of_its_own_row(scene, entry, form):
    # A row may name the host operation to fault, for an entry the binding writes itself.
    call, row, *named = FORMS[entry][form]
    operation = named[0] if named else entry.replace("_", ".", 1)
    if row is None:
        for error in DESCRIPTIONS:
            kalhost.fail(operation, error, "from the host")
        call(scene)
        return
    translated = {error: type(raised_by_fault(operation, error, lambda: call(scene))).__name__
                  for error in DESCRIPTIONS}
    assert translated == {error: error if error in row else "Error" for error in DESCRIPTIONS}


class FailingError(Exception):
    __swig_destroy__ = _kal.delete_OperationFailed

    def __new__(cls, *args):
        raise LookupError("no instance")


def test_an_error_class_that_cannot_make_its_instance_raises_that_failure():
    with live_handles_kept():
        _kal.OperationFailed_swigregister(FailingError)
        try:
            kalhost.fail("Node.createNode", "OperationFailed", "x")
            with pytest.raises(LookupError, match="no instance"):
                kal.node("/obj").createNode("geo")
        finally:
            _kal.OperationFailed_swigregister(kal.OperationFailed)


# The questions that choose a result's class run outside the operation's catch list; whatever
# they throw is translated all the same, and the result's handle is freed.
@pytest.mark.parametrize("question, error, raised", [
    ("Node.categoryCode", "ObjectWasDeleted", kal.ObjectWasDeleted),
    ("Node.categoryCode", "OperationFailed", kal.Error),
    ("Node.categoryCode", "SystemExit", SystemExit),
    ("Node.flagBits", "SystemExit", SystemExit),
    ("Node.flagBits", "out_of_range", RuntimeError),
    ("Node.flagBits", "invalid_argument", RuntimeError),
    ("NodeType.isManager", "SystemExit", SystemExit),
])
def test_errors_from_the_questions_that_choose_a_result_class_are_translated(question, error, raised, obj):
    with live_handles_kept():
        kalhost.fail(question, error, "7" if error == "SystemExit" else "asked")
        with pytest.raises(raised) as caught:
            obj.createNode("geo").type() if question.startswith("NodeType") else obj.createNode("geo")
    if raised is SystemExit:
        assert caught.value.code == 7
