// Geometry, its elements and attributes.

// Asked only to choose the Python class, until the family shows its operations.
%ignore KOM_Prim::type;

%include "model/geometry.h"
