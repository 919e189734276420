// The user interface.

// Asked only to choose the Python class, until the family shows its operations.
%ignore KOM_PaneTab::type;

%include "model/ui.h"
