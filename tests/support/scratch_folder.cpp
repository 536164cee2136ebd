// Every test executable works in its own scratch folder under the build tree,
// wherever it is started from, so files the tests write never land in the
// source tree.

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <string>

namespace {

bool EnterScratchFolder()
{
    std::string folder = KORVO_TEST_SCRATCH_DIR;
#if defined(_WIN32)
    // A build made on Linux names a Linux path: under Wine that is drive Z:.
    if (!folder.empty() && folder[0] == '/') {
        folder = "Z:" + folder;
    }
    return SetCurrentDirectoryA(folder.c_str()) != 0;
#else
    return chdir(folder.c_str()) == 0;
#endif
}

const bool InScratchFolder = EnterScratchFolder();

} // namespace
