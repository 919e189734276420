// Lazy sequences: host lists that make one item per index. Python iterates them through
// __getitem__, which ends at the first IndexError.

%catches(KOM_ObjectWasDeleted, KOM_Error);
%catches(std::out_of_range, KOM_ObjectWasDeleted, KOM_Error) KOM_IterableList::__getitem__;

%ignore KOM_IterableList::itemAt;

// The length is asked afresh each time, so a list that shrank ends early instead of reading
// past its end.
%define KAL_LAZY_ITEM_ACCESS
    // The item at an index (negative counts from the end), made when asked for.
    PyObject *__getitem__(int index)
    {
        int const length = $self->__len__();
        if (index < 0)
            index += length;
        if (index < 0 || index >= length)
            throw std::out_of_range("Invalid index");
        return kal::lazyItem($self->itemAt(index));
    }
%enddef

%extend KOM_IterableList {
    KAL_LAZY_ITEM_ACCESS
}
%extend KOM_IterableList<std::string> {
    KAL_LAZY_ITEM_ACCESS
}

%include "model/sequences.h"

// Each returned list is owned by its proxy.
%define KAL_LAZY_SEQUENCE(NAME, ELEMENT...)
%template(NAME) KOM_IterableList<ELEMENT >;
%typemap(out, noblock=1) KOM_IterableList<ELEMENT > * {
  $result = SWIG_NewPointerObj($1, $descriptor, SWIG_POINTER_OWN);
}
%enddef

KAL_LAZY_SEQUENCE(_StringTupleGenerator, std::string)
KAL_LAZY_SEQUENCE(_NetworkBoxTupleGenerator, KOM_NetworkBox)
KAL_LAZY_SEQUENCE(_NodeTupleGenerator, KOM_Node)
KAL_LAZY_SEQUENCE(_PointTupleGenerator, KOM_Point)
KAL_LAZY_SEQUENCE(_PrimTupleGenerator, KOM_Prim)
KAL_LAZY_SEQUENCE(_VertexTupleGenerator, KOM_Vertex)
KAL_LAZY_SEQUENCE(_DopDataTupleGenerator, KOM_DopData)
KAL_LAZY_SEQUENCE(_DopRecordTupleGenerator, KOM_DopRecord)
KAL_LAZY_SEQUENCE(_NodeConnectionTupleOfTuplesGenerator, std::vector<KOM_ElemPtr<KOM_NodeConnection> >)

%catches();
