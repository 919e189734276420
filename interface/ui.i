// The user interface.

%{
#include "model/ui.h"
%}

%include "model/ui.h"
