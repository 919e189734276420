import kal

geo = kal.node("/obj").createNode("geo", "installed")
box = geo.createNode("box")
print(box.path(), len(box.geometry().points()), type(box).__name__)
