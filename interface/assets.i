// Digital assets.

%include "model/assets.h"
