// Shelves, tools and galleries.

%{
#include "model/shelves.h"
%}

%include "model/shelves.h"
