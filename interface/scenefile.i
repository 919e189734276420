// The scene file.

%{
#include "model/scenefile.h"
%}

%include "model/scenefile.h"
