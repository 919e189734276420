// Input of an interactive shell.

%include "model/shell.h"
