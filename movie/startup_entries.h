// Movie services that the core runtime calls (start-up, shut-down, the window
// procedure and activation).
#pragma once

namespace Korvo {

// Fill the Theora player's colour tables
void BuildTheoraYuvTables();
// Register the movie handle kind; 0, or -1 when already done
int InitMovieHandleType();
// End the movie handle kind; 0 or -1
int TermMovieHandleType();
// Check the movie module after a display reset; 0 or -1
int CheckMovieModuleAfterReset();
// Restart the movies SuspendAllMovies stopped, and those started since; 0 or -1
int ResumeSuspendedMovies();
// Pause every playing movie; until the resume, movies started wait for it; 0 or -1
int SuspendAllMovies();

} // namespace Korvo
