"""Simulation: a simulation network drops two rigid bodies onto the ground; stepping the global
frame advances the simulation, and each object's records hold its state at that frame.

Run with `build/kalvane examples/simulation.py` (or PYTHONPATH=build/python python3 ...)."""
import kal

network = kal.node("/obj").createNode("dopnet", "drop")   # a kal.DopNetNode
ball = network.createNode("rigidobject", "ball")          # a kal.DopNode
ball.parmTuple("t").set((0.0, 4.0, 0.0))
ball.parm("bounce").set(0.4)
crate = network.createNode("rigidobject", "crate")
crate.parmTuple("t").set((1.0, 2.0, 0.0))
crate.parmTuple("v").set((1.5, 0.0, 0.0))

simulation = network.simulation()
print(simulation, "holds", [obj.name() for obj in simulation.objects()],
      "related by", [rel.name() for rel in simulation.relationships()])

for frame in range(1, 49, 4):
    kal.setFrame(frame)
    ball_state = simulation.findObject("ball")
    position = ball_state.record("Position").field("t")
    print("frame %2d: ball at (%.3f, %.3f, %.3f)%s" % (
        frame, position[0], position[1], position[2],
        " resting" if ball_state.record("Basic").field("resting") else ""))

# Going back gives the earlier state again: the simulation keeps what it computed per frame.
kal.setFrame(5)
print("back at frame 5, the crate is at", simulation.findObject("crate").record("Position").field("t"))

# Records carry typed fields: each comes back as its Python value.
physical = simulation.findObject("ball").record("Physical")
for name in physical.fieldNames():
    print("  Physical.%s (%s): %r" % (name, physical.fieldType(name).name(), physical.field(name)))
print("processed by", [node.path() for node in network.findNodesThatProcessedObject(
    simulation.findObject("crate"))])
