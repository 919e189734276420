// The user interface.

%include "model/ui.h"
