// Node types, their categories and shading-language contexts.

%{
#include "model/nodetypes.h"
%}

%include "model/nodetypes.h"
