// The scene file: positional overloads for the optional arguments; nothing here takes a
// handle, so no operation translates ObjectWasDeleted.

%catches(KOM_Error);

%catches(KOM_OperationFailed, KOM_Error) KOM_kipFile::save;
%catches(KOM_OperationFailed, KOM_Error) KOM_kipFile::saveAndIncrementFileName;
%catches(KOM_OperationFailed, KOM_Error) KOM_kipFile::saveAsBackup;
%catches(KOM_OperationFailed, KOM_Error) KOM_kipFile::clear;
%catches(KOM_LoadWarning, KOM_OperationFailed, KOM_TypeError, KOM_Error) KOM_kipFile::load;
%catches(KOM_LoadWarning, KOM_OperationFailed, KOM_TypeError, KOM_Error) KOM_kipFile::merge;
%catches(KOM_OperationFailed, KOM_TypeError, KOM_Error) KOM_kipFile::collisionNodesIfMerged;

%include "model/scenefile.h"

%catches();
