// Module-level functions: each forwards to the host's module object.

%catches(KOM_Error);

%catches() kom::__ensureKalvaneInternalsExist;
%catches(KOM_NotAvailable, KOM_Error) kom::root;
%catches(KOM_NotAvailable, KOM_Error) kom::node;

%feature("kwargs") kom::exit;

namespace kom
{
void __ensureKalvaneInternalsExist();
void exit(int exit_code = 0, bool suppress_save_prompt = false);
bool _isExiting();
KOM_Node *root();
KOM_Node *node(char const *path);
}

%catches();
