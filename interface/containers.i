// Tuple containers: standard vectors as mutable Python sequences, and their iterator.

%rename(PySwigIterator) swig::SwigPyIterator;

%include "convert/containers.swg"
%include <std_vector.i>

%kal_tuple_container(_StringTuple, std::string)
%kal_tuple_container(_IntTuple, int)
%kal_tuple_container(_BoolTuple, bool)
%kal_tuple_container(_FloatTuple, float)
%kal_tuple_container(_FloatTupleTuple, std::vector<float>)
%kal_tuple_container(_DoubleTuple, double)
%kal_tuple_container(_DoubleTupleTuple, std::vector<double>)
%kal_tuple_container(_EnumTuple, KOM_EnumValue *)
