// Keeping at most one frame queued ahead of the display, waiting without
// spinning: an event query marks the end of each presented frame, and the next
// present first sleeps until the frame before it has been drawn.
#pragma once

namespace Korvo {

// Sleep until the frame presented last has been drawn (no wait without a mark)
void WaitForPreviousFrameDrawn();
// Mark the end of the frame just presented
void MarkPresentedFrameEnd();
// Whether a presented frame's end mark waits to be reached
bool IsFrameEndMarkPending();
// Release the query with the device
void ReleaseFrameEndQuery();

} // namespace Korvo
