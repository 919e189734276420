"""A first look at kal: run it with `make demo` (inside kalvane) or with python3."""
import kal

print("Kalvane is exiting:", kal._isExiting())
print("Running", kal.applicationName(), kal.applicationVersionString())

root = kal.root()
print("The scene starts at", root.path(), "holding", ", ".join(n.name() for n in root.children()))

obj = kal.node("/obj")
geo = obj.createNode("geo", "tour_geo")
box = geo.createNode("box")
print("Created", geo.path(), "as", type(geo).__name__, "holding", box.path(), "as", type(box).__name__)

# A small network: two shapes, transformed and merged.
grid = geo.createNode("grid")
xform = geo.createNode("xform")
merge = geo.createNode("merge", "combined")
xform.setInput(0, box)
merge.setFirstInput(xform)
merge.setNextInput(grid)
print("Wired", merge.name(), "from", [n.name() for n in merge.inputs()])
print(box.name(), "feeds", [n.name() for n in box.outputs()])
print("Upstream of", merge.name() + ":", sorted(n.name() for n in merge.inputAncestors()))

# Lay it out, make the result stand out and leave a note for the next artist.
geo.layoutChildren()
merge.setColor(box.color())
merge.setCurrent(True, True)
merge.setComment("final shape")
print(merge.name(), "is current:", merge.isCurrent(), "with comment", repr(merge.comment()))

# Parameters: set values, evaluate them (the result's type follows the parameter's) and
# drive one with an expression that follows the frame.
print(geo.name(), "has", len(geo.parms()), "parameters, among them", geo.parm("tx").name())
geo.parmTuple("t").set((1, 2, 3))
box.parm("divisions").set(7)
geo.parm("ty").setExpression("$F * 2")
kal.setFrame(12)
print("t evaluates to", geo.parmTuple("t").eval(), "at frame 12; divisions is",
      repr(kal.evalParm(box.path() + "/divisions")), "and group is", repr(box.evalParm("group")))

# Animation: keyframes on a parameter, a spare parameter made from a template, and kscript.
rz = geo.parm("rz")
for frame, angle in ((1, 0.0), (12, 90.0), (24, 0.0)):
    key = kal.Keyframe(angle)
    key.setFrame(frame)
    rz.setKeyframe(key)
print("rz is keyed at frames", [key.frame() for key in rz.keyframes()], "and is",
      [rz.evalAtFrame(f) for f in (1, 6, 12, 18, 24)], "at frames 1, 6, 12, 18 and 24")
weight = geo.addSpareParmTuple(kal.FloatParmTemplate("weight", "Weight", 1, (0.5,), max=1.0))
print("Spare parameter", weight.name(), "=", weight.eval(), "from", weight.parmTemplate())
print("kscript:", kal.kscriptExpression("1+2"), kal.kscriptExpression("vector(1, 2) * $F"),
      repr(kal.kscriptExpandString("frame $F of ${FPS}")), kal.kscript("ls /obj")[0].split())

# Geometry: what a surface node cooks follows its parameters and inputs. Values come back with
# the Python type their attribute holds; a node's geometry is read-only, a frozen copy is not.
shape = merge.geometry()
print(merge.name(), "cooks", len(shape.points()), "points and", len(shape.iterPrims()), "primitives, the first a",
      type(shape.prims()[0]).__name__, "through points", [v.point().number() for v in shape.prims()[0].vertices()])
print("Its first point is at", shape.points()[0].attribValue("P"))
try:
    shape.createPoint()
except kal.GeometryPermissionError:
    print("A node's geometry is read-only; freeze() gives an editable copy")
copy = shape.freeze()
copy.addAttrib(kal.attribType.Point, "weight", 0.5)
copy.addAttrib(kal.attribType.Global, "source", merge.path())
print("The copy's points weigh", copy.iterPoints()[-1].attribValue("weight"), "and came from",
      copy.attribValue("source"))

# Math values: transforms act on row vectors and compose as scale * rotate * translate, with
# angles in degrees; a matrix explodes back into the components that built it.
kmath = kal.kmath
rounded = lambda values: [round(value, 3) + 0.0 for value in values]  # + 0.0: no "-0.0"
transform = kmath.buildScale(2, 2, 2) * kmath.buildRotate(0, 90, 0) * kmath.buildTranslate(1, 2, 3)
point = kal.Vector3(1, 0, 0) * transform
print("(1, 0, 0) scaled, turned and moved lands at", point)
print("The transform explodes into",
      ", ".join("%s %s" % (name, rounded(value))
                for name, value in sorted(transform.explode().items())))
print("Its inverse brings the point back:",
      (point * transform.inverted()).isAlmostEqual(kal.Vector3(1, 0, 0)))
bounds = kal.BoundingBox(-1, -1, -1, 1, 1, 1) * transform
print("A unit cube's bounds after it:", bounds.minvec(), "to", bounds.maxvec(), "size", bounds.sizevec())
sky = kal.Color((0.2, 0.4, 0.8))
print("Colour", rounded(sky.rgb()), "has hue", round(sky.hsv()[0], 1), "and twice as bright is",
      rounded((sky * 2).rgb()))

# Objects: the transform their t, r and s parameters build, then their parents'. Wiring one
# object into another parents it; setting a world transform solves for the parameters.
lamp = obj.createNode("null", "lamp")
lamp.parmTuple("t").set((0, 4, 0))
geo.setInput(0, lamp)
print(geo.name(), "sits at", rounded(geo.origin()), "in the world, under", geo.inputs()[0].name())
geo.setWorldTransform(kal.kmath.buildTranslate(2, 0, 0))
print("Moved to (2, 0, 0) in the world, its t is", rounded(geo.parmTuple("t").eval()))
print("It shows", geo.displayNode().name(), "- the last surface node made, until a script picks another")

# Network boxes group nodes in the network editor and follow them when moved.
group = obj.createNetworkBox("tour_group")
group.addNode(geo)
group.addNode(lamp)
group.fitAroundContents()
print("Box", group.name(), "holds", [n.name() for n in group.nodes()], "at", rounded(group.position()),
      "size", rounded(group.size()))

# Copy and move between networks; names that are taken get a new number.
copies = kal.copyNodesTo([box, xform], geo)
print("Copied into", [n.path() for n in copies])
kal.cd("/obj")
print("The current node is", kal.pwd().path(), "- relative paths start there:", kal.node("tour_geo").path())

# A simulation network drops a rigid body as the frame advances (examples/simulation.py has more).
drop = kal.node("/obj").createNode("dopnet", "tour_drop")
drop.createNode("rigidobject", "ball").parmTuple("t").set((0.0, 3.0, 0.0))
for frame in (1, 12, 24):
    kal.setFrame(frame)
    ball = drop.simulation().findObject("ball")
    print("Frame", frame, "- the falling ball is at", ball.record("Position").field("t"),
          "resting" if ball.record("Basic").field("resting") else "in the air")
kal.setFrame(1)

print("Frame", kal.frame(), "at", kal.fps(), "frames per second is", kal.time(), "seconds")

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
