// Input of an interactive shell.

%{
#include "model/shell.h"
%}

%include "model/shell.h"
