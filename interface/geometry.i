// Geometry, its elements and attributes.

%{
#include "model/geometry.h"
%}

%include "model/geometry.h"
