// The shell's services as graphics calls them (each tolerates a missing one).

#include "graphics/device/shell_services.h"

namespace Korvo {

static GraphicsShellServices Services = {};

int SetGraphicsShellServices(const GraphicsShellServices *services)
{
    Services = services != nullptr ? *services : GraphicsShellServices{};
    return 0;
}

int ShellLibraryStarted()
{
    return Services.libraryStarted != nullptr ? Services.libraryStarted() : 0;
}

int ShellStartupInProgress()
{
    return Services.startupInProgress != nullptr ? Services.startupInProgress() : 0;
}

void ShellApplyWindowStyleForMode()
{
    if (Services.applyWindowStyleForMode != nullptr) {
        Services.applyWindowStyleForMode();
    }
}

void ShellApplyFileDropAcceptance()
{
    if (Services.applyFileDropAcceptance != nullptr) {
        Services.applyFileDropAcceptance();
    }
}

void ShellSetDesktopComposition(int enable)
{
    if (Services.setDesktopComposition != nullptr) {
        Services.setDesktopComposition(enable);
    }
}

} // namespace Korvo
