// Keyframes.

// Asked only to choose the Python class, until keyframes show their operations.
%ignore KOM_BaseKeyframe::evaluatedType;

%include "model/keyframes.h"
