// A font build carried to a load worker: the arguments of the build packed into
// an AsyncLoadJob (settings, handle, face, size, thickness, type, character set,
// edge size, italic), and taken back in the same order on the worker.

#include "font/font_record.h"

#include <cstring>
#include <initializer_list>

namespace Korvo {

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

// Write every item (a null area only measures them)
static void PutFontBuildItems(void *area, int *offset, const FontBuildParams &params)
{
    PutAsyncParamBytes(area, offset, &params.settings, static_cast<int>(sizeof(params.settings)));
    PutAsyncParamInt(area, offset, params.handle);
    PutAsyncParamString(area, offset, params.face);
    for (int value : {params.size, params.thickness, params.type, params.charSet, params.edgeSize, params.italic}) {
        PutAsyncParamInt(area, offset, value);
    }
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

AsyncLoadJob *PackFontBuildJob(const FontBuildParams &params, AsyncLoadCallback callback)
{
    // The record keeps 255 bytes of the face: a longer one is cut here as it would
    // be there, and always fits its item.
    char face[kFontFaceNameBytes];
    FontBuildParams packed = params;
    if (params.face != nullptr) {
        size_t length = 0;
        while (length < sizeof(face) - 1 && params.face[length] != '\0') {
            face[length] = params.face[length];
            ++length;
        }
        face[length] = '\0';
        packed.face = face;
    }
    int bytes = 0;
    PutFontBuildItems(nullptr, &bytes, packed);
    AsyncLoadJob *job = AllocAsyncLoadJob(bytes);
    if (job == nullptr) {
        return nullptr;
    }
    job->callback = callback;
    int offset = 0;
    PutFontBuildItems(job->params, &offset, packed);
    return job;
}

void UnpackFontBuildJob(const AsyncLoadJob *job, FontBuildParams *params)
{
    int offset = 0;
    std::memcpy(&params->settings, TakeAsyncParamBytes(job->params, &offset), sizeof(params->settings));
    params->handle = TakeAsyncParamInt(job->params, &offset);
    params->face = TakeAsyncParamString(job->params, &offset);
    for (int *value : {&params->size, &params->thickness, &params->type, &params->charSet, &params->edgeSize,
                       &params->italic}) {
        *value = TakeAsyncParamInt(job->params, &offset);
    }
}

} // namespace Korvo
