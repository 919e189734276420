// Math value types.

// The fields are the layout the host works on, not Python attributes.
%rename("$ignore", %$isvariable) "";
%rename("$ignore", regextarget=1, fullname=1, %$isfunction) "^KOM_(Vector[234]|Matrix[34]|Quaternion|BoundingBox|Color|kmath)::[^K]";
%ignore KOM_Color::Model;

%include "model/mathvalues.h"

%rename("%s", %$isvariable) "";
