// The on-screen log's state: a line buffer and the font it is drawn with. Nothing
// in the library fills the lines or raises the draw flag; the tests do, to see
// the lines drawn over the frame.
#pragma once

#include "core/memory/handle_manager.h"

namespace Korvo {

constexpr int kScreenLogLineCount = 80;
constexpr int kScreenLogLineBytes = 255;
constexpr int kScreenLogLineHeight = 16;

struct ScreenLogState {
    int setUp;
    int lineHeight;
    HandleValue font;
    int fontLost; // 1 while there is no live font; the font's deletion sets it
    int drawFlag;
    char lines[kScreenLogLineCount][kScreenLogLineBytes];
};

extern ScreenLogState ScreenLog;

} // namespace Korvo
