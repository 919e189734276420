"""Reading and editing geometry: a box and a grid merged, measured, and coloured on a copy.

Run it with `build/kalvane examples/geometry.py` or `PYTHONPATH=build/python python3 examples/geometry.py`.
"""
import os
import tempfile

import kal

geo = kal.node("/obj").createNode("geo", "geometry_example")
box = geo.createNode("box")
box.parmTuple("size").set((2, 1, 2))
box.parm("divisions").set(2)
grid = geo.createNode("grid")
grid.parm("rows").set(5)
grid.parm("cols").set(5)
lift = geo.createNode("xform", "lift")
lift.setInput(0, box)
lift.parmTuple("t").set((0, 0.5, 0))  # the box sits on the grid
merge = geo.createNode("merge")
merge.setFirstInput(lift)
merge.setNextInput(grid)

# Reading: positions come back as tuples of floats; large geometry is best walked lazily.
assert isinstance(merge, kal.SopNode)  # a surface node: it cooks geometry
shape = merge.geometry()
positions = [point.attribValue("P") for point in shape.iterPoints()]
centroid = tuple(sum(p[axis] for p in positions) / len(positions) for axis in range(3))
bounds = shape.boundingBox()
print("%s: %d points, %d polygons" % (merge.path(), len(positions), len(shape.prims())))
print("bounding box from %s to %s, size %s" % (tuple(bounds.minvec()), tuple(bounds.maxvec()),
                                              tuple(bounds.sizevec())))
print("centroid (%.3f, %.3f, %.3f)" % centroid)
sides: dict[int, int] = {}
for prim in shape.iterPrims():
    if isinstance(prim, kal.Face):  # polygons here; other primitives have no vertex count
        sides[prim.numVertices()] = sides.get(prim.numVertices(), 0) + 1
print("polygons by number of sides:", sides)

# Editing happens on a frozen copy: a colour for every point, and the measurements kept with
# the geometry as global attributes.
copy = shape.freeze()
copy.addAttrib(kal.attribType.Point, "Cd", (1.0, 0.5, 0.0))
copy.addAttrib(kal.attribType.Global, "centroid", (0.0, 0.0, 0.0))
copy.setGlobalAttribValue("centroid", centroid)
copy.addAttrib(kal.attribType.Global, "source", merge.path())
print("the copy has point attributes", [attrib.name() for attrib in copy.pointAttribs()],
      "and global ones", [attrib.name() for attrib in copy.globalAttribs()])
print("its last point is coloured", copy.iterPoints()[-1].attribValue("Cd"), "and it came from",
      copy.attribValue("source"))

# Removing the grid's polygons (they follow the box's) leaves the box; the points only they
# used go with them.
assert isinstance(lift, kal.SopNode)
box_polygons = len(lift.geometry().prims())
copy.deletePrims(copy.prims()[box_polygons:])
print("without the grid the copy keeps %d points and %d polygons"
      % (len(copy.iterPoints()), len(copy.iterPrims())))

target = os.path.join(tempfile.mkdtemp(), "lifted_box.geo")
copy.saveToFile(target)
print("saved to", target)
geo.destroy()
