// The host's module object and the module-level functions that forward to it.
#pragma once

#include "host/services.h"
#include "model/errors.h"
#include "model/nodes.h"

class KOM_Module
{
public:
    virtual ~KOM_Module() {}

    // Throws KOM_SystemExit when the application agrees to end.
    virtual void exit(int exit_code, bool suppress_save_prompt) = 0;
    virtual bool _isExiting() = 0;
    virtual KOM_Node *root() = 0;
    virtual KOM_Node *node(char const *path) = 0;
};

// Each module-level function is one call on the host's module object, fetched afresh.
namespace kom
{
inline void __ensureKalvaneInternalsExist() { KOMF_Module::ensureKalvaneInternalsExist(); }
inline void exit(int exit_code = 0, bool suppress_save_prompt = false)
{
    KOM().exit(exit_code, suppress_save_prompt);
}
inline bool _isExiting() { return KOM()._isExiting(); }
inline KOM_Node *root() { return KOM().root(); }
inline KOM_Node *node(char const *path) { return KOM().node(path); }
} // namespace kom
