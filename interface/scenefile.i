// The scene file.

%include "model/scenefile.h"
