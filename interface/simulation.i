// Simulation data.

%include "model/simulation.h"
