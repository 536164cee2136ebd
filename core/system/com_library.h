// COM for the library's own use.
#pragma once

namespace Korvo {

// Start COM for the library (multithreaded); 0, or -1 when started or failing
int StartComLibrary();
// End COM; 0, or -1 when not started
int EndComLibrary();

} // namespace Korvo
