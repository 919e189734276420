// Simulation data.

%{
#include "model/simulation.h"
%}

%include "model/simulation.h"
