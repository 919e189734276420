// Shelves, tools and galleries: catch lists, keyword entries and the results the host keeps.

%catches(KOM_ObjectWasDeleted, KOM_Error);

// Every setter, destroy and the entry-changing operations refuse read-only files.
%define KAL_EDIT_CATCHES(OPERATION)
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_Error) OPERATION;
%enddef

// Each subclass registers the inherited description again, with the same list.
%catches(KOM_Error) KOM_ShelfElement::__repr__;
%catches(KOM_Error) KOM_Shelf::__repr__;
%catches(KOM_Error) KOM_ShelfSet::__repr__;
%catches(KOM_Error) KOM_Tool::__repr__;
KAL_EDIT_CATCHES(KOM_ShelfElement::setFilePath)
KAL_EDIT_CATCHES(KOM_ShelfElement::setName)
KAL_EDIT_CATCHES(KOM_ShelfElement::setLabel)

KAL_EDIT_CATCHES(KOM_Shelf::setTools)
KAL_EDIT_CATCHES(KOM_Shelf::destroy)
KAL_EDIT_CATCHES(KOM_ShelfSet::setShelves)
KAL_EDIT_CATCHES(KOM_ShelfSet::destroy)

KAL_EDIT_CATCHES(KOM_Tool::setScript)
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_TypeError, KOM_Error) KOM_Tool::setLanguage;
KAL_EDIT_CATCHES(KOM_Tool::setIcon)
KAL_EDIT_CATCHES(KOM_Tool::setHelp)
KAL_EDIT_CATCHES(KOM_Tool::setHelpURL)
%catches(KOM_ObjectWasDeleted, KOM_TypeError, KOM_Error) KOM_Tool::toolMenuCategories;
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_TypeError, KOM_Error) KOM_Tool::setToolMenuCategories;
%catches(KOM_ObjectWasDeleted, KOM_TypeError, KOM_Error) KOM_Tool::toolMenuOpType;
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_TypeError, KOM_Error) KOM_Tool::setToolMenuOpType;
KAL_EDIT_CATCHES(KOM_Tool::setToolLocations)
%catches(KOM_ObjectWasDeleted, KOM_PermissionError, KOM_TypeError, KOM_Error) KOM_Tool::setData;
KAL_EDIT_CATCHES(KOM_Tool::destroy)

%catches(KOM_ObjectWasDeleted, KOM_NotAvailable, KOM_Error) KOM_ShelfDock::__repr__;
%catches(KOM_ObjectWasDeleted, KOM_NotAvailable, KOM_Error) KOM_ShelfDock::shelfSets;
%catches(KOM_ObjectWasDeleted, KOM_NotAvailable, KOM_Error) KOM_ShelfDock::iconsize;

// The namespace objects never go away: they translate no ObjectWasDeleted, but for the entry
// that reads a node.
%catches(KOM_Error) KOM_shelves::__repr__;
%catches(KOM_Error) KOM_shelves::shelfSets;
%catches(KOM_Error) KOM_shelves::shelves;
%catches(KOM_Error) KOM_shelves::tools;
%catches(KOM_Error) KOM_shelves::runningTool;
%catches(KOM_PermissionError, KOM_Error) KOM_shelves::newShelfSet;
%catches(KOM_PermissionError, KOM_Error) KOM_shelves::newShelf;
%catches(KOM_PermissionError, KOM_TypeError, KOM_Error) KOM_shelves::newTool;
%catches(KOM_Error) KOM_shelves::defaultFilePath;

%catches(KOM_Error) KOM_galleries::__repr__;
%catches(KOM_Error) KOM_galleries::galleries;
%catches(KOM_Error) KOM_galleries::galleryEntries;
%catches(KOM_OperationFailed, KOM_Error) KOM_galleries::installGallery;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_PermissionError, KOM_Error)
    KOM_galleries::createGalleryEntry;

%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_PermissionError, KOM_Error) KOM_Gallery::createEntry;
%catches(KOM_ObjectWasDeleted, KOM_OperationFailed, KOM_PermissionError, KOM_Error) KOM_Gallery::deleteEntry;

KAL_EDIT_CATCHES(KOM_GalleryEntry::applyToNode)
KAL_EDIT_CATCHES(KOM_GalleryEntry::createChildNode)
KAL_EDIT_CATCHES(KOM_GalleryEntry::setEqual)
KAL_EDIT_CATCHES(KOM_GalleryEntry::setName)
KAL_EDIT_CATCHES(KOM_GalleryEntry::setDescription)
KAL_EDIT_CATCHES(KOM_GalleryEntry::setHelpURL)
KAL_EDIT_CATCHES(KOM_GalleryEntry::setRequiredKDAFile)
KAL_EDIT_CATCHES(KOM_GalleryEntry::setIcon)
KAL_EDIT_CATCHES(KOM_GalleryEntry::setNodeTypeNames)
KAL_EDIT_CATCHES(KOM_GalleryEntry::setCategories)
KAL_EDIT_CATCHES(KOM_GalleryEntry::setKeywords)
KAL_EDIT_CATCHES(KOM_GalleryEntry::setNodeTypeCategory)
KAL_EDIT_CATCHES(KOM_GalleryEntry::setScript)
KAL_EDIT_CATCHES(KOM_GalleryEntry::setScriptFromNode)
KAL_EDIT_CATCHES(KOM_GalleryEntry::setContentsFromNode)

%feature("kwargs") KOM_Tool::setData;
%feature("kwargs") KOM_shelves::newShelfSet;
%feature("kwargs") KOM_shelves::newShelf;
%feature("kwargs") KOM_shelves::newTool;
%feature("kwargs") KOM_galleries::galleryEntries;
%feature("kwargs") KOM_Gallery::galleryEntries;

// None when no tool runs, and for an entry that names no known node type.
%feature("kal:maybenone") KOM_shelves::runningTool;
%feature("kal:maybenone") KOM_GalleryEntry::bestNodeType;

// The running tool stays with the host.
%typemap(out, noblock=1) KOM_Tool *KOM_shelves::runningTool {
  $result = KOMconvertValueForInterpreter($1, 0);
}

%include "model/shelves.h"

%catches();
