// The host build has no DirectShow: every file the Theora player refuses
// fails to open, as it does where no filter graph can be made.

#include "movie/movie_handle.h"

namespace Korvo {

int OpenMovieWithDirectShow(MovieHandleRecord *record, const char *path, int *width, int *height, int mode,
                            void *asyncContext)
{
    (void)record;
    (void)width;
    (void)height;
    (void)mode;
    (void)asyncContext;
    AppendLogLineFormat("ファイル:%s が開けませんでした", path);
    return -1;
}

int RunDirectShowMovie(MovieHandleRecord *)
{
    return -1;
}

int PauseDirectShowMovie(MovieHandleRecord *)
{
    return -1;
}

int StepDirectShowMovie(MovieHandleRecord *)
{
    return 0;
}

int CloseDirectShowMovie(MovieHandleRecord *)
{
    return 0;
}

} // namespace Korvo
