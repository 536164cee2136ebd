// The global allocation of the Windows sound tests: the C heap, able to refuse
// one allocation of a chosen size, so a test can make one of the library's
// objects fail to be made. The linker takes it in place of the runtime's.
#pragma once

#include <cstddef>

namespace RefusingNew {

// Refuse the next allocation of bytes by operator new (either form)
void RefuseNextNew(size_t bytes);
// Refusals since the last call
int TakeRefusalCount();

} // namespace RefusingNew
