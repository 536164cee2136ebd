// What graphics needs of the library shell, installed by the shell at start-up
// (graphics sits below the shell and never includes it). Until installed, the
// library counts as not started and the window steps do nothing.
#pragma once

namespace Korvo {

struct GraphicsShellServices {
    int (*libraryStarted)();          // 1 once the library is started
    int (*startupInProgress)();       // 1 while the start-up sequence runs
    int (*applyWindowStyleForMode)(); // re-style the window for the window mode
    int (*applyFileDropAcceptance)(); // re-apply the dropped-files setting
    int (*serviceMessageQueueOnce)(); // one pass of the message pump
    int (*setDesktopComposition)(int enable);
    void (*blockUntilAppActive)();    // pump while the application is inactive
};

// Install the shell's services; 0
int SetGraphicsShellServices(const GraphicsShellServices *services);

int ShellLibraryStarted();
int ShellStartupInProgress();
void ShellApplyWindowStyleForMode();
void ShellApplyFileDropAcceptance();
// One pass of the message pump; its result (-1 once the application is to end), 0 when not installed
int ShellServiceMessageQueueOnce();
// Wait, pumping, while the application is inactive (main thread only)
void ShellBlockUntilAppActive();
void ShellSetDesktopComposition(int enable);

} // namespace Korvo
