// Math value types.

%include "model/mathvalues.h"
