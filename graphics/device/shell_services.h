// What graphics needs of the library shell, installed by the shell at start-up
// (graphics sits below the shell and never includes it). Until installed, the
// library counts as not started and the window steps do nothing. The pump and
// the inactive wait come through core/system/message_pump_hooks.h.
#pragma once

namespace Korvo {

struct GraphicsShellServices {
    int (*libraryStarted)();          // 1 once the library is started
    int (*startupInProgress)();       // 1 while the start-up sequence runs
    int (*applyWindowStyleForMode)(); // re-style the window for the window mode
    int (*applyFileDropAcceptance)(); // re-apply the dropped-files setting
    int (*setDesktopComposition)(int enable);
};

// Install the shell's services; 0
int SetGraphicsShellServices(const GraphicsShellServices *services);

int ShellLibraryStarted();
int ShellStartupInProgress();
void ShellApplyWindowStyleForMode();
void ShellApplyFileDropAcceptance();
void ShellSetDesktopComposition(int enable);

} // namespace Korvo
