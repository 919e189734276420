// Lazy sequences: host lists that make one item per index.

%catches(KOM_ObjectWasDeleted, KOM_Error);

template <class T>
class KOM_IterableList
{
public:
    virtual ~KOM_IterableList();
    virtual int __len__();
    virtual std::string __repr__();
};

%template(_StringTupleGenerator) KOM_IterableList<std::string>;
%template(_NetworkBoxTupleGenerator) KOM_IterableList<KOM_NetworkBox>;
%template(_NodeTupleGenerator) KOM_IterableList<KOM_Node>;
%template(_PointTupleGenerator) KOM_IterableList<KOM_Point>;
%template(_PrimTupleGenerator) KOM_IterableList<KOM_Prim>;
%template(_VertexTupleGenerator) KOM_IterableList<KOM_Vertex>;
%template(_DopDataTupleGenerator) KOM_IterableList<KOM_DopData>;
%template(_DopRecordTupleGenerator) KOM_IterableList<KOM_DopRecord>;
%template(_NodeConnectionTupleOfTuplesGenerator) KOM_IterableList<std::vector<KOM_ElemPtr<KOM_NodeConnection> > >;

%catches();
