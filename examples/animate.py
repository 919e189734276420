"""Animation: a bouncing object keyed on ty, a spare parameter made from a template that scales
the bounce through an expression, and the values evaluated frame by frame.

Run with `build/kalvane examples/animate.py` (or PYTHONPATH=build/python python3 ...)."""
import kal

ball = kal.node("/obj").createNode("geo", "ball")
ty = ball.parm("ty")

# Two bounces. Slopes are in units per second: flat at the tops, and at the ground a sharp turn,
# falling in (the in side) and rising out.
for frame, height, in_slope, out_slope in ((1, 0.0, None, 32.0), (7, 4.0, None, 0.0),
                                           (13, 0.0, -32.0, 16.0), (19, 2.0, None, 0.0),
                                           (25, 0.0, -16.0, 0.0)):
    key = kal.Keyframe(height)
    key.setFrame(frame)
    key.setSlope(out_slope)
    if in_slope is not None:
        key.setInSlope(in_slope)
    ty.setKeyframe(key)
print("ty keys:", [(key.frame(), key.value()) for key in ty.keyframes() if isinstance(key, kal.Keyframe)])

# A spare parameter from a template, with a range and a tag; tx follows it through kscript.
drift = ball.addSpareParmTuple(
    kal.FloatParmTemplate("drift", "Drift per frame", 1, (0.25,), 0.0, 1.0, tags={"units": "m"}))
template = drift.parmTemplate()
assert isinstance(template, kal.FloatParmTemplate)  # results come as their most specific class
print("added", drift.name(), "=", drift.eval(), "range", (template.minValue(), template.maxValue()),
      "tags", template.tags())
ball.parm("tx").setExpression('ch("drift") * ($F - 1)')

print("frame      tx      ty")
for frame in range(1, 26, 2):
    print("%5d %7.2f %7.2f" % (frame, ball.parm("tx").evalAtFrame(frame), ty.evalAtFrame(frame)))

kal.setFrame(7)
print(kal.kscriptExpandString("At frame $F the ball is `ch(\"/obj/ball/ty\")` high"))
