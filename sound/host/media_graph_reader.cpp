// Host stand-in: no media graph, so the chain's last reader is skipped.

#include "sound/sound_decode.h"

namespace Korvo {

const AudioReaderOps *const MediaGraphReader = nullptr;

} // namespace Korvo
