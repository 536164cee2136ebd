// Public movie operations: movie handles made when a graph is loaded from a
// movie file, played, paused and stepped.
#pragma once

namespace Korvo {

// Play a movie: play type 1 once, 3 looped, -1 the stored one; systemFlag 1
// restarts only a movie the user had playing; started while the window is
// inactive, it plays from the activation on; 0 or -1
int StartMoviePlayback(int handle, int playType, int systemFlag);
// Pause a movie (systemFlag 1: a pause by the system, undone by activation); 0 or -1
int PauseMoviePlayback(int handle, int systemFlag);
// Bring the frame due now to the movie's graph; 0 or -1
int StepMoviePlayback(int handle, int unused);
// Close a movie handle; 0 or -1
int DeleteMovieHandle(int handle);

} // namespace Korvo
