// Keyframes.

%include "model/keyframes.h"
