"""The user interface from a script: find the scene viewer, point the network editor at a
network, ask the user to select objects, and put a tool on a shelf that makes them again. The
reference host has no one at the screen, so the user's answer is scripted with kalhost; in the
application the user clicks instead.

Run it with `build/kalvane examples/ui.py` or `PYTHONPATH=build/python python3 examples/ui.py`.
"""
import kal
import kalhost  # type: ignore[import]  # the reference host's test module: no stubs

desktop = kal.ui.curDesktop()
print("Desktop", desktop.name(), "has panes", [pane.tabs()[0].name() for pane in desktop.panes()])

# Pane tabs come back as their most specific class: the viewer is a kal.SceneViewer.
viewer = desktop.paneTabOfType(kal.paneTabType.SceneViewer)
assert isinstance(viewer, kal.SceneViewer)
print("Found", type(viewer).__name__, viewer.name(), "with viewports",
      [viewport.name() for viewport in viewer.viewports()])

# A network to look at, and the network editor pointed at it.
geo = kal.node("/obj").createNode("geo", "ui_geo")
box = geo.createNode("box")
grid = geo.createNode("grid")
editor = desktop.paneTabOfType(kal.paneTabType.NetworkEditor)
assert isinstance(editor, kal.NetworkEditor)
editor.setPwd(geo)
print(type(editor).__name__, editor.name(), "shows", editor.pwd().path())
editor.cd("..")
print("After cd ..:", editor.pwd().path())

# The user selects geometry: the box whole and two primitives of the grid.
kalhost.answer("SceneViewer.selectGeometry", (box.path(), (grid.path(), "0-1")))
selection = viewer.selectGeometry(prompt="Select the shapes to combine")
print("Selected", [node.name() for node in selection.nodes()], "components",
      selection.selectionStrings(False))
merged = selection.mergedNode(geo, "combined")
print("Merged into", merged.path(), "selecting", repr(selection.mergedSelectionString(False)))

# A shelf tool that makes again what was selected: a geo holding a node of each selected type.
types = [node.type().name() for node in selection.nodes()]
script = "\n".join(["import kal", "geo = kal.node('/obj').createNode('geo', 'from_tool')"] +
                    ["geo.createNode(%r)" % name for name in types])
tool = kal.shelves.newTool(name="remake_selection", label="Remake selection", script=script)
shelf = kal.shelves.shelves()["create"]
shelf.setTools(shelf.tools() + (tool,))
print("Shelf", shelf.name(), "now holds", [t.name() for t in shelf.tools()])
kalhost.runTool("remake_selection")  # as a click on the shelf would
print("The tool made", [node.name() for node in kal.node("/obj/from_tool").children()])

# With no answer the selection is interrupted, as when the user presses Escape.
try:
    viewer.selectObjects()
except kal.OperationInterrupted:
    print("Nobody answered: selectObjects raised kal.OperationInterrupted")

# A dialog, answered with the second button.
kalhost.answer("ui.displayMessage", 1)
choice = kal.ui.displayMessage("Keep the merged node?", buttons=("Keep", "Remove"))
if choice == 1:
    merged.destroy()
print("The user chose", ("Keep", "Remove")[choice])
