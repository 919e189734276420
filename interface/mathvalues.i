// Math value types: vectors, quaternions, bounding boxes, matrices, colours, and kmath.

// The fields and the colour-model codes are the layout the host works on, not Python attributes.
%rename("$ignore", regextarget=1, fullname=1, %$isvariable)
    "^KOM_(Vector[234]|Quaternion|BoundingBox|Matrix[34]|Color)::";
%rename("$ignore", regextarget=1, fullname=1, %$isenumitem) "^KOM_Color::";
%ignore KOM_Color::Model;
// Only the determinant uses it.
%ignore KOM_Matrix4::cofactor;

// Arithmetic operators raise their argument and host errors like every other operation; only a
// wrong number of operands answers NotImplemented (module/finish_wrapper.py).
%define KAL_ARITHMETIC(CLASS)
%nopythonmaybecall CLASS::__add__;
%nopythonmaybecall CLASS::__sub__;
%nopythonmaybecall CLASS::__mul__;
%nopythonmaybecall CLASS::__neg__;
%enddef
KAL_ARITHMETIC(KOM_Vector2)
KAL_ARITHMETIC(KOM_Vector3)
KAL_ARITHMETIC(KOM_Vector4)
KAL_ARITHMETIC(KOM_Quaternion)
KAL_ARITHMETIC(KOM_BoundingBox)
KAL_ARITHMETIC(KOM_Matrix3)
KAL_ARITHMETIC(KOM_Matrix4)
KAL_ARITHMETIC(KOM_Color)

// Sequences of the wrong length.
%catches(KOM_InvalidSize) KOM_Vector2::KOM_Vector2(std::vector<float> const &);
%catches(KOM_InvalidSize) KOM_Vector3::KOM_Vector3(std::vector<float> const &);
%catches(KOM_InvalidSize) KOM_Vector4::KOM_Vector4(std::vector<float> const &);
%catches(KOM_InvalidSize) KOM_Matrix3::KOM_Matrix3(std::vector<double> const &);
%catches(KOM_InvalidSize) KOM_Matrix4::KOM_Matrix4(std::vector<double> const &);
%catches(KOM_InvalidSize) KOM_Matrix4::KOM_Matrix4(std::vector<std::vector<double> > const &);
%catches(KOM_InvalidSize) KOM_Color::KOM_Color(std::vector<float> const &);
%catches(KOM_InvalidSize) KOM_Vector2::setTo;
%catches(KOM_InvalidSize) KOM_Vector3::setTo;
%catches(KOM_InvalidSize) KOM_Vector4::setTo;
%catches(KOM_InvalidSize) KOM_Quaternion::setTo;
%catches(KOM_InvalidSize) KOM_BoundingBox::setTo;
%catches(KOM_InvalidSize) KOM_Matrix3::setTo;
%catches(KOM_InvalidSize) KOM_Matrix4::setTo;
%catches(KOM_InvalidSize) KOM_Color::setRGB;
%catches(KOM_InvalidSize) KOM_Color::setHSV;
%catches(KOM_InvalidSize) KOM_Color::setHSL;
%catches(KOM_InvalidSize) KOM_Color::setXYZ;
%catches(KOM_InvalidSize) KOM_Color::setLAB;

// Indices out of range.
%catches(std::out_of_range) KOM_Vector2::__getitem__;
%catches(std::out_of_range) KOM_Vector2::__setitem__;
%catches(std::out_of_range) KOM_Vector3::__getitem__;
%catches(std::out_of_range) KOM_Vector3::__setitem__;
%catches(std::out_of_range) KOM_Vector4::__getitem__;
%catches(std::out_of_range) KOM_Vector4::__setitem__;
%catches(std::out_of_range) KOM_Quaternion::__getitem__;
%catches(std::out_of_range) KOM_Quaternion::__setitem__;
%catches(std::out_of_range) KOM_Matrix3::at;
%catches(std::out_of_range) KOM_Matrix3::setAt;
%catches(std::out_of_range) KOM_Matrix4::at;
%catches(std::out_of_range) KOM_Matrix4::setAt;

// Inversion and decomposition.
%catches(KOM_OperationFailed) KOM_Matrix3::inverted;
%catches(KOM_OperationFailed) KOM_Matrix4::inverted;
%catches(KOM_OperationFailed, KOM_ValueError) KOM_Matrix3::extractRotates;
%catches(KOM_OperationFailed, KOM_ValueError) KOM_Matrix4::extractRotates;
%catches(KOM_OperationFailed, KOM_ValueError) KOM_Matrix4::explode;
%catches(KOM_OperationFailed, KOM_ValueError) KOM_Matrix4::extractTranslates;
%catches(KOM_OperationFailed, KOM_ValueError) KOM_Matrix4::extractScales;
%catches(KOM_OperationFailed, KOM_ValueError) KOM_Matrix4::extractShears;

%feature("kwargs") KOM_Matrix3::extractRotates;
%feature("kwargs") KOM_Matrix4::extractRotates;
%feature("kwargs") KOM_Matrix4::explode;
%feature("kwargs") KOM_Matrix4::extractScales;
%feature("kwargs") KOM_Matrix4::extractShears;

// kmath: the vector forms, the scalar forms and the translation from a sequence never throw.
%catches(KOM_Error) KOM_kmath::__repr__;
%catches(KOM_ValueError, KOM_Error) KOM_kmath::buildScale(std::vector<double> const &);
%catches(KOM_ValueError, KOM_Error) KOM_kmath::buildShear(std::vector<double> const &);
%catches(KOM_ValueError, KOM_Error) KOM_kmath::buildRotate;
%catches(KOM_ValueError, KOM_Error) KOM_kmath::buildRotateAboutAxis(std::vector<double> const &, double);

%include "model/mathvalues.h"
