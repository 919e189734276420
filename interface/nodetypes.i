// Node types, their categories and shading-language contexts.

%include "model/nodetypes.h"
