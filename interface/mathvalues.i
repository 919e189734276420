// Math value types.

%{
#include "model/mathvalues.h"
%}

%include "model/mathvalues.h"
