// Digital assets: definitions, their sections, the library files (kal.kda) and an asset's
// script module, whose attributes the binding looks up itself.

%{
// Looks the name up under the host lock, which the host holds while it changes the namespace:
// the second dictionary first, then the first, and only when the second exists.
PyObject *KOM_KDAModule___getattr__(KOM_KDAModule *self, char const *name)
{
    KOM_HostLockHeld hostLock;
    std::pair<PyObject *, PyObject *> *const dictionaries = self->moduleDictionaries();
    PyObject *const searched = dictionaries ? dictionaries->second : nullptr;
    PyObject *found = nullptr;
    if (searched && name)
    {
        found = PyDict_GetItemString(searched, name);
        if (!found && dictionaries->first)
            found = PyDict_GetItemString(dictionaries->first, name);
    }
    if (found)
    {
        Py_INCREF(found);
        return found;
    }
    PyErr_Format(PyExc_AttributeError, "'module' object has no attribute '%s'", name ? name : "");
    return nullptr;
}
%}

%catches(KOM_ObjectWasDeleted, KOM_Error);

%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_KDADefinition::nodeType;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_KDADefinition::addSection;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_KDADefinition::setIcon;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_KDADefinition::setMinNumInputs;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_KDADefinition::setMaxNumInputs;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_KDADefinition::setExtraInfo;
%catches(KOM_ObjectWasDeleted, KOM_TypeError, KOM_Error) KOM_KDADefinition::setComment;
%catches(KOM_ObjectWasDeleted, KOM_TypeError, KOM_Error) KOM_KDADefinition::setVersion;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_KDASection::setContents;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_Error) KOM_KDASection::destroy;

// The library-file object refers to no scene object: it translates no ObjectWasDeleted.
%catches(KOM_Error) KOM_kda::__repr__;
%catches(KOM_OperationFailed, KOM_Error) KOM_kda::installFile;
%catches(KOM_OperationFailed, KOM_Error) KOM_kda::uninstallFile;
%catches(KOM_OperationFailed, KOM_Error) KOM_kda::reloadFile;
%catches(KOM_OperationFailed, KOM_Error) KOM_kda::expandToDirectory;
%catches(KOM_OperationFailed, KOM_Error) KOM_kda::collapseFromDirectory;
%catches(KOM_OperationFailed, KOM_Error) KOM_kda::loadedFiles;
%catches(KOM_OperationFailed, KOM_Error) KOM_kda::renameSource;
%catches(KOM_OperationFailed, KOM_Error) KOM_kda::definitionsInFile;

// The category is one of the host's own.
%typemap(out, noblock=1) KOM_NodeTypeCategory *KOM_KDADefinition::nodeTypeCategory {
  $result = KOMconvertValueForInterpreter($1, 0);
}

// Reached only through __getattr__, which holds the host lock around it.
%ignore KOM_KDAModule::moduleDictionaries;
%ignore KOM_KDAModule___getattr__;

%include "model/assets.h"

// Second names: each calls the same host operation as the first.
%extend KOM_KDADefinition {
    // Whether the library file holding it is installed (as isInstalled).
    bool installed() { return $self->isInstalled(); }
    // Whether this is the definition new nodes of the type are made from (as isCurrent).
    bool current() { return $self->isCurrent(); }
    // Whether this definition is preferred over the type's other installed ones (as isPreferred).
    bool preferred() { return $self->isPreferred(); }
    // Makes the definition preferred, or not (as setIsPreferred).
    void setPreferred(bool preferred) { $self->setIsPreferred(preferred); }
}

%extend KOM_KDAModule {
    PyObject *__getattr__(char const *name);
}

%catches();
