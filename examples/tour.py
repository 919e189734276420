"""A first look at kal: run it with `make demo` (inside kalvane) or with python3."""
import kal

print("Kalvane is exiting:", kal._isExiting())

root = kal.root()
print("The scene starts at", root.path())

obj = kal.node("/obj")
geo = obj.createNode("geo", "tour_geo")
box = geo.createNode("box")
print("Created", geo.path(), "as", type(geo).__name__, "holding", box.path(), "as", type(box).__name__)

xform = geo.createNode("xform")
xform.setInput(0, box)
print("Wired", box.name(), "into", xform.name())

try:
    geo.createNode("no_such_type")
except kal.OperationFailed as error:
    print("Errors arrive as kal exceptions:", repr(error))

geo.destroy()
try:
    box.name()
except kal.ObjectWasDeleted:
    print("Handles to destroyed nodes raise kal.ObjectWasDeleted")

print("Enumerations:", kal.parmData.Float, "is named", kal.parmData.Float.name())
