"""Digital assets: a subnet holding a little network becomes a node type stored in a library
file, with a script module; the library is installed from a temporary folder, a new node of the
type builds its contents from the definition, and a function of its module is called.

Run with `build/kalvane examples/assets.py` (or PYTHONPATH=build/python python3 ...)."""
import os
import tempfile

import kal

folder = tempfile.mkdtemp(prefix="kal-assets-")
library = os.path.join(folder, "tools.kda")

# The network the asset will hold: a geometry object with a box, transformed.
subnet = kal.node("/obj").createNode("subnet", "crate_source")
geo = subnet.createNode("geo", "crate")
box = geo.createNode("box")
box.parm("divisions").set(3)
xform = geo.createNode("xform")
xform.setInput(0, box)

# The subnet becomes the first node of the new type "crate", stored in the library file.
asset = subnet.createDigitalAsset("crate", library, "Crate", max_num_inputs=1,
                                  comment="A box in a geometry object", version="1.0")
definition = asset.type().definition()
print("made", definition, "from", asset.path())

# The script module: code in the PythonModule section, run when a module is asked for.
definition.addSection("PythonModule", '''
def describe(node):
    """A line about one crate: where it is and what its box is set to."""
    box = node.node("crate/box1")
    return "%s holds a box of %d divisions" % (node.path(), box.evalParm("divisions"))
''')
print("sections:", sorted(definition.sections()))

# A fresh session would install the library; here it goes away and comes back from its file.
kal.kda.uninstallFile(library)
print("installed after uninstall:", kal.kda.loadedFiles())
kal.kda.installFile(library)
print("installed:", kal.kda.loadedFiles())
for stored in kal.kda.definitionsInFile(library):
    print("  %s: %s, version %s, inputs %d..%d" % (stored.nodeTypeName(), stored.comment(),
                                                  stored.version(), stored.minNumInputs(),
                                                  stored.maxNumInputs()))

# A new node of the type builds its contents from the definition and stays locked.
crate = kal.node("/obj").createNode("crate", "crate_copy")
print("new instance", crate.path(), "holds", [child.path() for child in crate.children()])
try:
    crate.createNode("null")
except kal.PermissionError as error:
    print("locked:", error.instanceMessage())

# The module's functions are attributes of kdaModule().
print(crate.kdaModule().describe(crate))
try:
    crate.kdaModule().missing
except AttributeError as error:
    print("AttributeError:", error)
