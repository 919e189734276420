// The _kal extension module and its proxy module kal.

%module kal

%{
#include <stdexcept>
#include <string>
%}

// Only classes that declare a constructor can be built from Python.
%nodefaultctor;

%include "module/runtime.swg"
%include "convert/scalars.swg"
%include "convert/objects.swg"

// Declaration order is registration order: a base registers before its subclasses.
%include "interface/containers.i"
%include "interface/sequences.i"
%include "interface/enums.i"
%include "interface/errors.i"
%include "interface/nodes.i"
%include "interface/nodetypes.i"
%include "interface/parms.i"
%include "interface/keyframes.i"
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
