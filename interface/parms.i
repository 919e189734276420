// Parameters, parameter tuples and parameter templates.

%include "model/parms.h"
