// Digital assets.

%{
#include "model/assets.h"
%}

%include "model/assets.h"
