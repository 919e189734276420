// The _kal extension module and its proxy module kal.

%module kal

%{
#include <stdexcept>
#include <string>

#include "model/assets.h"
#include "model/enums.h"
#include "model/errors.h"
#include "model/geometry.h"
#include "model/keyframes.h"
#include "model/mathvalues.h"
#include "model/module.h"
#include "model/nodes.h"
#include "model/nodetypes.h"
#include "model/parms.h"
#include "model/parmtemplates.h"
#include "model/scenefile.h"
#include "model/sequences.h"
#include "model/shell.h"
#include "model/shelves.h"
#include "model/simulation.h"
#include "model/ui.h"
%}

// Python sees interface KOM_<Name> as class kal.<Name>.
%rename("%(strip:[KOM_])s", %$isclass) "";

// Comparing with an object of another class is an argument error, not NotImplemented.
%nopythonmaybecall __eq__;
%nopythonmaybecall __ne__;

// Only classes that declare a constructor can be built from Python.
%nodefaultctor;

// Only the list of error classes: the classes themselves are declared in interface/errors.i.
%include "model/errors.h"

%include "module/runtime.swg"
%include "convert/scalars.swg"
%include "convert/objects.swg"

// Declaration order is registration order: a base registers before its subclasses.
%include "interface/containers.i"
// Instantiating the containers installs the runtime's stock typemaps for their vectors;
// the project's own sequence conversions replace them, so they come after.
%include "convert/sequences.swg"
%include "interface/sequences.i"
%include "interface/enums.i"
%include "interface/errors.i"
%include "interface/nodes.i"
%include "interface/nodetypes.i"
%include "interface/parms.i"
%include "interface/parmtemplates.i"
%include "interface/keyframes.i"
%include "interface/kscript.i"
%include "interface/geometry.i"
%include "interface/mathvalues.i"
%include "interface/simulation.i"
%include "interface/assets.i"
%include "interface/scenefile.i"
%include "interface/ui.i"
%include "interface/shelves.i"
%include "interface/shell.i"
%include "interface/module.i"

%include "module/proxy.swg"
