// The user interface.

// Asked only to choose the Python class, until the family shows its operations.
%ignore KOM_PaneTab::type;

// The shell object stays the host's; only KOM_Error is translated.
%catches(KOM_Error) KOM_ui::shellIO;
%typemap(out, noblock=1) KOM_ShellIO *KOM_ui::shellIO {
  $result = KOMconvertValueForInterpreter($1, 0);
}

%include "model/ui.h"
