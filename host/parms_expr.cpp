// Parameter evaluation: expressions (kscript), keyframed curves and plain values at a frame.
#include "host/parms.h"

#include <cmath>

#include "host/keyframes.h"
#include "host/kscript.h"
#include "model/enums.h"
#include "model/errors.h"

namespace kalhost
{

namespace
{

KscriptValue evalParmValue(std::shared_ptr<SceneNode> const &node, SceneParmTuple const &tuple,
                           SceneParm const &parm, double frame, int depth)
{
    KscriptContext const context{node, frame, depth};
    if (!parm.expression.empty())
        return evalKscript(parm.expression, context);
    KscriptValue result;
    if (!parm.keyframes.empty())
    {
        if (tuple.info.dataType == KOM_StringParmData)
        {
            // A string keyframe's text is expanded as kscript unless it is Python source,
            // which this host does not run and shows as written.
            KeyframeData const &key = keyframeInForce(parm.keyframes, frame).data;
            bool const python = key.language && isOfEnumeration(*key.language, typeid(KOM_exprLanguage)) &&
                                key.language->valueId == KOM_exprLanguage::Python.valueId;
            result.kind = KscriptValue::Text;
            result.text = python ? *key.expression : expandKscriptString(*key.expression, context);
            return result;
        }
        result.number = keyframedNumber(parm.keyframes, frame, [&](std::string const &expression, double at) {
            KscriptValue const value = evalKscript(expression, {node, at, depth});
            if (!value.isNumeric())
                throw KOM_OperationFailed(("The keyframe expression gives no number: " + expression).c_str());
            return value.number;
        });
        return result;
    }
    if (tuple.info.dataType == KOM_StringParmData)
    {
        result.kind = KscriptValue::Text;
        result.text = expandKscriptString(parm.text, context);
        return result;
    }
    result.number = parm.number;
    return result;
}

} // namespace

bool referencedParmValue(std::shared_ptr<SceneNode> const &node, std::string const &name, double frame,
                         int depth, KscriptValue *value)
{
    auto const [tuple, index] = findParm(*node, name);
    if (!tuple)
        return false;
    *value = evalParmValue(node, *tuple, tuple->parms[index], frame, depth);
    return true;
}

double evalNumber(Located const &at, double frame)
{
    if (at.tuple->info.dataType == KOM_StringParmData)
        throw KOM_TypeError("The parameter holds strings");
    KscriptValue const value = evalParmValue(at.node, *at.tuple, at.parm, frame, 0);
    if (value.kind == KscriptValue::Text)
        throw KOM_TypeError("The expression gives a string");
    if (!value.isNumeric())
        throw KOM_TypeError("The expression gives no number");
    return at.tuple->info.dataType == KOM_IntParmData ? std::round(value.number) : value.number;
}

std::string evalText(Located const &at, double frame)
{
    if (at.tuple->info.dataType != KOM_StringParmData)
        throw KOM_TypeError("The parameter holds numbers");
    KscriptValue const value = evalParmValue(at.node, *at.tuple, at.parm, frame, 0);
    if (value.kind == KscriptValue::Text)
        return value.text;
    if (!value.isNumeric())
        throw KOM_TypeError("The expression gives neither a string nor a number");
    return formatNumber(value.number);
}

} // namespace kalhost
