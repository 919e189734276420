// Parameter templates in the reference host: templates scripts build and the templates of
// existing parameter tuples, both describing a tuple as a ParmTupleInfo.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host/journal.h"
#include "host/nodetypes.h"
#include "model/parmtemplates.h"

namespace kalhost
{

KALHOST_JOURNAL_FORMAT(KOM_ParmTemplate); // its name

// A new template, the caller's, describing `info` (a tuple's, or one the factories built).
KOM_ParmTemplate *newParmTemplate(ParmTupleInfo const &info);

// The factories of the module's template constructors. Names must be parameter names (a
// letter or '_', then letters, digits and '_'), component counts 1 to 16 and covered by the
// naming scheme, defaults empty (zeros, empty strings) or one per component, min at most max:
// otherwise KOM_OperationFailed. A look or naming scheme of another enumeration: KOM_TypeError.
KOM_FloatParmTemplate *newFloatParmTemplate(char const *name, char const *label, int numComponents,
                                            std::vector<float> const &defaults, float min, float max,
                                            bool minIsStrict, bool maxIsStrict, KOM_EnumValue &look,
                                            KOM_EnumValue &namingScheme,
                                            std::map<std::string, std::string> const &tags);
KOM_IntParmTemplate *newIntParmTemplate(char const *name, char const *label, int numComponents,
                                        std::vector<int> const &defaults, int min, int max, bool minIsStrict,
                                        bool maxIsStrict, KOM_EnumValue &look, KOM_EnumValue &namingScheme,
                                        std::map<std::string, std::string> const &tags);
KOM_StringParmTemplate *newStringParmTemplate(char const *name, char const *label, int numComponents,
                                              std::vector<std::string> const &defaults,
                                              KOM_EnumValue &namingScheme,
                                              std::map<std::string, std::string> const &tags);
KOM_ToggleParmTemplate *newToggleParmTemplate(char const *name, char const *label, bool defaultValue,
                                              KOM_EnumValue &namingScheme,
                                              std::map<std::string, std::string> const &tags);

} // namespace kalhost
