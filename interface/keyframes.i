// Keyframes.

%{
#include "model/keyframes.h"
%}

%include "model/keyframes.h"
