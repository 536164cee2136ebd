// Model entries of the core runtime's sequences, until 3-D models are built.
//
// No model kind exists yet: these entries register and delete nothing. They
// are replaced by the model subsystem's own code.

#include "model/startup_entries.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Not built yet: no kinds are registered.
int InitModelHandleTypes()
{
    return 0;
}

// Not built yet: no kinds to end.
int TermModelHandleTypes()
{
    return 0;
}

} // namespace Korvo
