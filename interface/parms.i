// Parameters, parameter tuples and parameter templates.

%{
#include "model/parms.h"
%}

%include "model/parms.h"
