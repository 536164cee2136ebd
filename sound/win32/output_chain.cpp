// The back-end chain at start-up: XAudio2 2.8, else XAudio2 2.7/2.6 through
// COM, else DirectSound. A test hook may skip the first levels.

#include "sound/win32/output_backends.h"

#include "core/log/error_log.h"

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
// Skip levels of the test hook.
constexpr int kSkipXAudio28 = 1;
constexpr int kSkipAllXAudio2 = 2;
constexpr int kSkipEverything = 3;

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

// Try each back-end in order; the first that starts is used
int StartPlatformSoundBackend(SoundBackend *backend)
{
    int skip = GetSoundBackendSkipLevel();
    AppendLogText("XAudio2 の初期化を行います\n");
    IncreaseLogIndent();
    int result = StartXAudio28Output(backend, skip >= kSkipXAudio28 ? 1 : 0);
    if (result == 1) {
        result = StartXAudio27Output(backend, skip >= kSkipAllXAudio2 ? 1 : 0);
    }
    if (result == 0) {
        return 0;
    }
    // Every XAudio2 attempt failed: DirectSound, one indent level back.
    DecreaseLogIndent();
    return StartDirectSoundOutput(backend, skip >= kSkipEverything ? 1 : 0) == 0 ? 0 : -1;
}

} // namespace Korvo
