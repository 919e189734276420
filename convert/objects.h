// Object results: the Python object for a returned host object, of its most specific class.
// Included in the generated wrapper after the runtime and the type table.
#pragma once

#include "model/enums.h"
#include "model/errors.h"
#include "model/geometry.h"
#include "model/keyframes.h"
#include "model/parms.h"
#include "model/ui.h"
#include "model/nodes.h"
#include "model/nodetypes.h"

namespace kal
{

// The same value: the same enumeration (compared by its identity's name) and the same id.
inline bool sameValue(KOM_EnumValue const &first, KOM_EnumValue const &second)
{
    return first.enumType->name() == second.enumType->name() && first.valueId == second.valueId;
}

// Converts `self`. For a delete entry (`deleting`), yields the object only when the proxy owned
// it, and then releases it: the proxy no longer owns nor points at it. Other operations that
// take ownership (`disown`) convert as usual and clear the own flag.
inline int convertSelf(PyObject *obj, void **pointer, swig_type_info *type, int disown, bool deleting)
{
    if (disown && !deleting)
        return SWIG_ConvertPtr(obj, pointer, type, SWIG_POINTER_DISOWN);
    if (!deleting)
    {
        // The common cases, a proxy of the method's class or of a subclass, without the
        // runtime's general look-up and its search by type name.
        PyObject **dict = _PyObject_GetDictPtr(obj);
        PyObject *held = (dict && *dict) ? PyDict_GetItemWithError(*dict, SWIG_This()) : nullptr;
        if (!held)
            PyErr_Clear();
        if (held && Py_TYPE(held) == SwigPyObject_type())
        {
            SwigPyObject *const pointerObject = reinterpret_cast<SwigPyObject *>(held);
            if (pointerObject->ty == type && !pointerObject->next)
            {
                *pointer = pointerObject->ptr;
                return SWIG_OK;
            }
            // A subclass's proxy: the type's own list of subclasses gives the upcast.
            swig_cast_info *const cast =
                pointerObject->next ? nullptr : SWIG_TypeCheckStruct(pointerObject->ty, type);
            if (cast)
            {
                int newMemory = 0;
                *pointer = SWIG_TypeCast(cast, pointerObject->ptr, &newMemory);
                return SWIG_OK;
            }
        }
        return SWIG_ConvertPtr(obj, pointer, type, 0);
    }
    SwigPyObject *held = SWIG_Python_GetSwigThis(obj);
    if (held && held->own)
        return SWIG_ConvertPtr(obj, pointer, type, SWIG_POINTER_RELEASE);
    int const status = SWIG_ConvertPtr(obj, pointer, type, 0);
    *pointer = nullptr;
    return status;
}

// Raises the caught error as its registered Python class, holding an owned copy; an
// unregistered class raises RuntimeError with the bare pointer object.
template <class E>
void raiseError(E const &error, swig_type_info *type)
{
    SWIG_Python_Raise(SWIG_NewPointerObj(new E(error), type, SWIG_POINTER_OWN),
                      type->name, type);
}

// `object` as a proxy of `Interface`, or None when it does not implement it.
template <class Interface, class Base>
PyObject *wrapAs(Base *object, swig_type_info *type, int own)
{
    Interface *specific = dynamic_cast<Interface *>(object);
    if (!specific)
    {
        if (own & SWIG_POINTER_OWN)
            delete object;
        Py_RETURN_NONE;
    }
    return SWIG_NewPointerObj(specific, type, own);
}

// Runs a question put to a returned object. A question that throws leaves a translated
// error set (and the owned object deleted) instead of escaping the module.
template <class Base, class Question, class Answer>
bool ask(Base *object, int own, Question question, Answer *answer)
{
    try
    {
        *answer = question();
        return true;
    }
    catch (KOM_ObjectWasDeleted const &error)
    {
        raiseError(error, SWIGTYPE_p_KOM_ObjectWasDeleted);
    }
    catch (KOM_Error const &error)
    {
        raiseError(error, SWIGTYPE_p_KOM_Error);
    }
    if (own & SWIG_POINTER_OWN)
        delete object;
    return false;
}

} // namespace kal

inline PyObject *KOMconvertValueForInterpreter(KOM_Node *const &node, int own)
{
    if (!node)
        Py_RETURN_NONE;
    int category = 0;
    if (!kal::ask(node, own, [&] { return node->categoryCode(); }, &category))
        return nullptr;
    switch (category)
    {
    case KOM_ObjectCategory:
    {
        int flags = 0;
        if (!kal::ask(node, own, [&] { return node->flagBits(); }, &flags))
            return nullptr;
        if (flags & KOM_SimulationNetworkFlag)
            return kal::wrapAs<KOM_DopNetNode>(node, SWIGTYPE_p_KOM_DopNetNode, own);
        return kal::wrapAs<KOM_ObjNode>(node, SWIGTYPE_p_KOM_ObjNode, own);
    }
    case KOM_SopCategory: return kal::wrapAs<KOM_SopNode>(node, SWIGTYPE_p_KOM_SopNode, own);
    case KOM_PopNetCategory: return kal::wrapAs<KOM_PopNetNode>(node, SWIGTYPE_p_KOM_PopNetNode, own);
    case KOM_PopCategory: return kal::wrapAs<KOM_PopNode>(node, SWIGTYPE_p_KOM_PopNode, own);
    case KOM_ChopCategory: return kal::wrapAs<KOM_ChopNode>(node, SWIGTYPE_p_KOM_ChopNode, own);
    case KOM_ShopCategory: return kal::wrapAs<KOM_ShopNode>(node, SWIGTYPE_p_KOM_ShopNode, own);
    case KOM_VopNetCategory: return kal::wrapAs<KOM_VopNetNode>(node, SWIGTYPE_p_KOM_VopNetNode, own);
    case KOM_DopCategory: return kal::wrapAs<KOM_DopNode>(node, SWIGTYPE_p_KOM_DopNode, own);
    default: return SWIG_NewPointerObj(node, SWIGTYPE_p_KOM_Node, own);
    }
}

inline PyObject *KOMconvertValueForInterpreter(KOM_NodeType *const &type, int own)
{
    if (!type)
        Py_RETURN_NONE;
    int manager = 0;
    if (!kal::ask(type, own, [&] { return type->isManager() ? 1 : 0; }, &manager))
        return nullptr;
    if (manager)
        return SWIG_NewPointerObj(type, SWIGTYPE_p_KOM_NodeType, own);
    int category = 0;
    if (!kal::ask(type, own, [&] { return type->categoryCode(); }, &category))
        return nullptr;
    switch (category)
    {
    case KOM_SopCategory: return kal::wrapAs<KOM_SopNodeType>(type, SWIGTYPE_p_KOM_SopNodeType, own);
    case KOM_ShopCategory: return kal::wrapAs<KOM_ShopNodeType>(type, SWIGTYPE_p_KOM_ShopNodeType, own);
    default: return SWIG_NewPointerObj(type, SWIGTYPE_p_KOM_NodeType, own);
    }
}

// The selections by a type value's id (numbered from 1 in each enumeration).
inline PyObject *KOMconvertValueForInterpreter(KOM_Prim *const &prim, int own)
{
    if (!prim)
        Py_RETURN_NONE;
    KOM_EnumValue type{};
    if (!kal::ask(prim, own, [&] { return prim->type(); }, &type))
        return nullptr;
    if (type.valueId == KOM_PolygonPrimId) // a face of another kind stays a Prim
        return kal::wrapAs<KOM_Polygon>(prim, SWIGTYPE_p_KOM_Polygon, own);
    return SWIG_NewPointerObj(prim, SWIGTYPE_p_KOM_Prim, own);
}

inline PyObject *KOMconvertValueForInterpreter(KOM_PaneTab *const &paneTab, int own)
{
    if (!paneTab)
        Py_RETURN_NONE;
    KOM_EnumValue type{};
    if (!kal::ask(paneTab, own, [&] { return paneTab->type(); }, &type))
        return nullptr;
    switch (type.valueId)
    {
    case KOM_SceneViewerPaneTabId:
    case KOM_ContextViewerPaneTabId:
        return kal::wrapAs<KOM_SceneViewer>(paneTab, SWIGTYPE_p_KOM_SceneViewer, own);
    case KOM_ChannelViewerPaneTabId: // viewers and views that follow a path
    case KOM_CompositorViewerPaneTabId:
    case KOM_OutputViewerPaneTabId:
    case KOM_ParmPaneTabId:
    case KOM_DetailsViewPaneTabId:
    case KOM_TreeViewPaneTabId:
        return kal::wrapAs<KOM_PathBasedPaneTab>(paneTab, SWIGTYPE_p_KOM_PathBasedPaneTab, own);
    case KOM_ParticleViewerPaneTabId: return kal::wrapAs<KOM_ParticleViewer>(paneTab, SWIGTYPE_p_KOM_ParticleViewer, own);
    case KOM_NetworkEditorPaneTabId: return kal::wrapAs<KOM_NetworkEditor>(paneTab, SWIGTYPE_p_KOM_NetworkEditor, own);
    case KOM_HelpBrowserPaneTabId: return kal::wrapAs<KOM_HelpBrowser>(paneTab, SWIGTYPE_p_KOM_HelpBrowser, own);
    default: return SWIG_NewPointerObj(paneTab, SWIGTYPE_p_KOM_PaneTab, own);
    }
}
