// Geometry, its elements and attributes.

%include "model/geometry.h"
