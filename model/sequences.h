// Containers the host returns.
#pragma once

#include <string>

// Element of the vectors and maps the host returns: a plain pointer that is copied freely
// and never deletes what it points at. Converting the container hands each element to a proxy.
template <class T>
struct KOM_ElemPtr
{
    KOM_ElemPtr(T *pointer = nullptr) : myPointer(pointer) {}
    T *get() const { return myPointer; }
    T *operator->() const { return myPointer; }
    bool operator<(KOM_ElemPtr const &other) const { return myPointer < other.myPointer; }

private:
    T *myPointer;
};

// A host list that makes its items on demand, one per call.
template <class T>
class KOM_IterableList
{
public:
    virtual ~KOM_IterableList() {}
    // The number of items, asked afresh each time.
    virtual int __len__() = 0;
    // How the sequence shows at the prompt.
    virtual std::string __repr__() = 0;
    virtual T *itemAt(int index) = 0;
};

// Strings are made by value.
template <>
class KOM_IterableList<std::string>
{
public:
    virtual ~KOM_IterableList() {}
    virtual int __len__() = 0;
    virtual std::string __repr__() = 0;
    virtual std::string itemAt(int index) = 0;
};
