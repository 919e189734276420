// Shelves, tools and galleries.

%include "model/shelves.h"
