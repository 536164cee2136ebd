// The game from start-up to shut-down: settings, scenes, the frame loop.
#pragma once

// Start the library (log output on or off), run the frame loop until the window
// closes, end; -1 when the library does not start, else 0.
int RunVelmora(int logFileOutput);
