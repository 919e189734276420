// Tuple containers: standard vectors as mutable Python sequences, and their iterator.

%rename(PySwigIterator) swig::SwigPyIterator;

%include <std_string.i>
%include <std_vector.i>

%template(_StringTuple) std::vector<std::string>;
%template(_IntTuple) std::vector<int>;
%template(_BoolTuple) std::vector<bool>;
%template(_FloatTuple) std::vector<float>;
%template(_FloatTupleTuple) std::vector<std::vector<float> >;
%template(_DoubleTuple) std::vector<double>;
%template(_DoubleTupleTuple) std::vector<std::vector<double> >;
%template(_EnumTuple) std::vector<KOM_EnumValue *>;
