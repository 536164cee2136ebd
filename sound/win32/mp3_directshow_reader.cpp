// The last reader of the chain: MPEG audio converted by the platform's media
// graph. The file's bytes are offered by the library's memory source filter,
// the platform's decoders are connected by the graph, the sample grabber
// collects the PCM and a null renderer ends the chain, and the graph runs
// without a clock until it reports completion. All of it happens on the job's
// own thread (sound/win32/media_graph_job.h), which the caller waits for within
// bounds. The PCM is then served from memory.

#include "sound/sound_decode.h"
#include "sound/win32/media_graph_job.h"
#include "sound/win32/mem_source_filter.h"
#include "sound/win32/sample_grabber.h"

#include "core/log/error_log.h"
#include "core/memory/tracked_alloc.h"

#include <cstring>
#include <new>

namespace Korvo {

// ---------------------------------------------------------------------------
// Defines
// ---------------------------------------------------------------------------
constexpr int kPcmGrowBytes = 1024 * 1024;
constexpr long kEventErrorAbort = 3; // EC_ERRORABORT
constexpr long kEventComplete = 1;   // EC_COMPLETE
// The toolchain declares no identifier for this interface.
static const GUID MediaEventInterface = {0x56a868b6, 0x0ad4, 0x11ce, {0xb0, 0x3a, 0x00, 0x20, 0xaf, 0x0b, 0xa7, 0x70}};

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------
// Everything one conversion holds, released together.
struct MediaGraphParts {
    K_CMemStream *stream = nullptr;
    K_CMemReader *reader = nullptr;
    IBaseFilter *nullRenderer = nullptr;
    IGraphBuilder *graph = nullptr;
    K_CSampleGrabber *grabber = nullptr;
    IMediaFilter *mediaFilter = nullptr;
    IMediaControl *control = nullptr;
    IMediaEvent *events = nullptr;
};

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

template <typename Interface>
static void ReleaseInterface(Interface *&object)
{
    if (object != nullptr) {
        object->Release();
        object = nullptr;
    }
}

// Stop the graph, then let go of everything; the stream outlives its reader
static void ReleaseMediaGraphParts(MediaGraphParts *parts)
{
    if (parts->control != nullptr) {
        parts->control->Stop();
    }
    ReleaseInterface(parts->events);
    ReleaseInterface(parts->control);
    ReleaseInterface(parts->mediaFilter);
    ReleaseInterface(parts->graph);
    ReleaseInterface(parts->grabber);
    ReleaseInterface(parts->nullRenderer);
    ReleaseInterface(parts->reader);
    delete parts->stream;
    parts->stream = nullptr;
}

// The first pin of a direction (the caller releases it), or null
IPin *FindPinOfDirection(IBaseFilter *filter, PIN_DIRECTION direction)
{
    IEnumPins *pins = nullptr;
    if (FAILED(filter->EnumPins(&pins))) {
        return nullptr;
    }
    IPin *pin = nullptr;
    IPin *found = nullptr;
    while (found == nullptr && pins->Next(1, &pin, nullptr) == S_OK) {
        PIN_DIRECTION pinDirection;
        if (SUCCEEDED(pin->QueryDirection(&pinDirection)) && pinDirection == direction) {
            found = pin;
        } else {
            pin->Release();
        }
    }
    pins->Release();
    return found;
}

// Append a sample's bytes, growing the buffer in 1 MiB steps; the buffer goes
// when growing fails
static HRESULT GrabSampleIntoBuffer(void *user, IMediaSample *sample, REFERENCE_TIME, REFERENCE_TIME, int)
{
    MediaGraphJob *job = static_cast<MediaGraphJob *>(user);
    NoteMediaGraphProgress(job);
    MemoryPcmReaderState &memory = job->pcm;
    if (memory.pcm == nullptr) {
        return 0;
    }
    BYTE *data = nullptr;
    if (FAILED(sample->GetPointer(&data))) {
        return 0;
    }
    int length = sample->GetActualDataLength();
    if (length <= 0) {
        return 0;
    }
    if (static_cast<int64_t>(memory.used) + length > memory.capacity) {
        int64_t capacity = memory.capacity;
        while (capacity < static_cast<int64_t>(memory.used) + length) {
            capacity += kPcmGrowBytes;
        }
        unsigned char *grown =
            capacity <= INT32_MAX ? static_cast<unsigned char *>(KORVO_TRACKED_ALLOC(static_cast<size_t>(capacity)))
                                  : nullptr;
        if (grown == nullptr) {
            TrackedFree(memory.pcm);
            memory.pcm = nullptr;
            return 0;
        }
        std::memcpy(grown, memory.pcm, static_cast<size_t>(memory.used));
        TrackedFree(memory.pcm);
        memory.pcm = grown;
        memory.capacity = static_cast<int>(capacity);
    }
    std::memcpy(memory.pcm + memory.used, data, static_cast<size_t>(length));
    memory.used += length;
    return 0;
}

// The renderer the graph chose: a filter with a connected input pin and no
// output pin. Disconnect it and connect its upstream pin to the null renderer.
static bool SwapRendererForNull(MediaGraphParts *parts)
{
    IEnumFilters *filters = nullptr;
    if (FAILED(parts->graph->EnumFilters(&filters))) {
        return false;
    }
    IBaseFilter *filter = nullptr;
    IPin *upstream = nullptr;
    while (upstream == nullptr && filters->Next(1, &filter, nullptr) == S_OK) {
        IPin *in = FindPinOfDirection(filter, PINDIR_INPUT);
        IPin *out = FindPinOfDirection(filter, PINDIR_OUTPUT);
        IPin *peer = nullptr;
        if (in != nullptr && out == nullptr && filter != parts->nullRenderer && SUCCEEDED(in->ConnectedTo(&peer))) {
            parts->graph->Disconnect(peer);
            parts->graph->Disconnect(in);
            upstream = peer;
        }
        ReleaseInterface(in);
        ReleaseInterface(out);
        filter->Release();
    }
    filters->Release();
    if (upstream == nullptr) {
        return false;
    }
    IPin *nullInput = FindPinOfDirection(parts->nullRenderer, PINDIR_INPUT);
    bool connected = nullInput != nullptr && SUCCEEDED(parts->graph->Connect(upstream, nullInput));
    ReleaseInterface(nullInput);
    upstream->Release();
    return connected;
}

// Build the graph and read the PCM format; null, or the failure's log text
static const char *BuildMediaGraph(MediaGraphJob *job, MediaGraphParts *parts)
{
    // The library's own objects: a failure is logged like any other, never thrown.
    parts->stream = new (std::nothrow) K_CMemStream(job->input, job->inputSize, -1);
    if (parts->stream == nullptr) {
        return "MP3変換用 K_CMemStream の作成に失敗しました";
    }
    AM_MEDIA_TYPE offered{};
    offered.majortype = K_MEDIATYPE_Stream;
    offered.subtype = K_MEDIASUBTYPE_MPEG1Audio;
    offered.bFixedSizeSamples = TRUE;
    offered.lSampleSize = 1;
    parts->reader = new (std::nothrow) K_CMemReader(parts->stream, &offered);
    if (parts->reader == nullptr) {
        return "MP3変換用 K_CMemReader の作成に失敗しました";
    }
    parts->nullRenderer = static_cast<IBaseFilter *>(K_CreateComObject(K_CLSID_NullRenderer, __uuidof(IBaseFilter)));
    if (parts->nullRenderer == nullptr) {
        return "MP3変換用 NullRender の作成に失敗しました";
    }
    parts->graph = static_cast<IGraphBuilder *>(K_CreateComObject(K_CLSID_FilterGraph, __uuidof(IGraphBuilder)));
    if (parts->graph == nullptr) {
        return "MP3変換用 IGraphBuilder の作成に失敗しました";
    }
    parts->grabber = new (std::nothrow) K_CSampleGrabber();
    if (parts->grabber == nullptr) {
        return "MP3変換用 K_CSampleGrabber の作成に失敗しました";
    }
    AM_MEDIA_TYPE pcm{};
    pcm.majortype = K_MEDIATYPE_Audio;
    pcm.subtype = K_MEDIASUBTYPE_PCM;
    if (FAILED(parts->grabber->ChooseAcceptedType(&pcm))) {
        return "サンプルグラバフィルタのメディアタイプの設定に失敗しました";
    }
    if (FAILED(parts->graph->AddFilter(parts->grabber, L"SampleGrabber"))) {
        return "サンプルグラバフィルタのグラフへの追加に失敗しました";
    }
    if (FAILED(parts->graph->AddFilter(parts->reader, L"MemFile"))) {
        return "メモリファイルフィルタのグラフへの追加に失敗しました";
    }
    IPin *readerOutput = FindPinOfDirection(parts->reader, PINDIR_OUTPUT);
    HRESULT rendered = readerOutput != nullptr ? parts->graph->Render(readerOutput) : E_FAIL;
    ReleaseInterface(readerOutput);
    if (FAILED(rendered)) {
        return "グラフの構築に失敗しました";
    }
    NoteMediaGraphProgress(job);
    if (FAILED(parts->graph->AddFilter(parts->nullRenderer, L"File Renderer"))) {
        return "ヌルレンダラーフィルタのグラフへの追加に失敗しました";
    }
    if (!SwapRendererForNull(parts)) {
        return "既存レンダラーをNullレンダラーと交換する処理が失敗しました";
    }

    AM_MEDIA_TYPE connected{};
    if (FAILED(parts->grabber->QueryConnectedType(&connected))) {
        return "音声が含まれていないか、オーディオフォーマットの取得に失敗しました。";
    }
    const char *refused = nullptr;
    if (connected.formattype != K_FORMAT_WaveFormatEx || connected.pbFormat == nullptr ||
        connected.cbFormat < sizeof(WAVEFORMATEX) - 2) {
        refused = "サポート外のストリームフォーマットです。";
    } else {
        const WAVEFORMATEX *wave = reinterpret_cast<const WAVEFORMATEX *>(connected.pbFormat);
        if (wave->wFormatTag != WAVE_FORMAT_PCM || wave->nChannels == 0 || wave->nBlockAlign == 0) {
            refused = "サポート外のオーディオフォーマットです。";
        } else {
            job->format = MakePcmWaveFormat(wave->nChannels, static_cast<int>(wave->nSamplesPerSec),
                                            wave->nBlockAlign * 8 / wave->nChannels);
            job->format.blockAlign = wave->nBlockAlign;
            job->format.avgBytesPerSec = wave->nBlockAlign * wave->nSamplesPerSec;
        }
    }
    K_FreeMediaType(&connected);
    return refused;
}

// Run the graph clockless and wait for its end in 100 ms steps until the caller
// gives the job up; null, or the failure's log text
static const char *RunMediaGraph(MediaGraphJob *job, MediaGraphParts *parts)
{
    if (InterlockedCompareExchange(&job->givenUp, 0, 0) != 0) {
        return "MP3変換の途中でソフトが終了しました"; // the build outlasted the caller's wait
    }
    if (FAILED(parts->grabber->InstallSampleCallback(GrabSampleIntoBuffer, job))) {
        return "コールバック関数を設定できません";
    }
    int64_t capacity = static_cast<int64_t>(job->inputSize) * 10;
    job->pcm.capacity = static_cast<int>(capacity < INT32_MAX ? capacity : INT32_MAX);
    job->pcm.pcm = static_cast<unsigned char *>(KORVO_TRACKED_ALLOC(static_cast<size_t>(job->pcm.capacity)));
    if (job->pcm.pcm == nullptr) {
        return "PCMデータを格納するメモリ領域の確保に失敗しました";
    }
    if (FAILED(parts->graph->QueryInterface(__uuidof(IMediaFilter), reinterpret_cast<void **>(&parts->mediaFilter)))) {
        return "IMediaFilter の取得に失敗しました";
    }
    parts->mediaFilter->SetSyncSource(nullptr);
    if (FAILED(parts->graph->QueryInterface(__uuidof(IMediaControl), reinterpret_cast<void **>(&parts->control)))) {
        return "IMediaControl の取得に失敗しました";
    }
    if (FAILED(parts->graph->QueryInterface(MediaEventInterface, reinterpret_cast<void **>(&parts->events)))) {
        return "IMediaEvent の取得に失敗しました";
    }
    if (FAILED(parts->control->Run())) {
        return "MP3変換の途中でエラーが発生しました";
    }
    NoteMediaGraphProgress(job);
    for (;;) {
        if (InterlockedCompareExchange(&job->givenUp, 0, 0) != 0) {
            return "MP3変換の途中でソフトが終了しました";
        }
        long code = 0;
        HRESULT waited = parts->events->WaitForCompletion(100, &code);
        if (waited == E_ABORT) {
            continue;
        }
        if (FAILED(waited) || code == kEventErrorAbort) {
            return "MP3変換の途中でエラーが発生しました";
        }
        if (code == kEventComplete) {
            if (job->pcm.pcm == nullptr) {
                return "PCMデータを格納するメモリ領域の再確保に失敗しました";
            }
            // A graph that ends without a whole frame of sound has none to give.
            return job->pcm.used < job->format.blockAlign ? "音声が含まれていないか、オーディオフォーマットの取得に失敗しました。"
                                                          : nullptr;
        }
    }
}

// What the job's thread runs: build, run, release; the input stays the job's
const char *ConvertJobWithMediaGraph(MediaGraphJob *job)
{
    MediaGraphParts parts;
    const char *failure = BuildMediaGraph(job, &parts);
    if (failure == nullptr) {
        failure = RunMediaGraph(job, &parts);
    }
    ReleaseMediaGraphParts(&parts);
    return failure;
}

// The whole conversion, on the job's thread; 0, or -1 with the failure logged and nothing kept
static int DecodeMp3WithDirectShow(AudioDecodeState *state)
{
    std::memset(&state->memory, 0, sizeof(state->memory));
    MediaGraphJob *job = CreateMediaGraphJob(state);
    if (job == nullptr) {
        return -1;
    }
    const char *failure = RunMediaGraphJobBounded(job, state);
    if (failure != nullptr) {
        AppendLogText(failure);
        EndMemoryPcmReader(state);
        return -1;
    }
    state->blockSize = static_cast<int>(state->format.avgBytesPerSec);
    if (state->blockSize < state->format.blockAlign) {
        state->blockSize = state->format.blockAlign;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------
static const AudioReaderOps MediaGraphReaderOps = {
    16, AUDIO_READER_MEMORY_PCM, DecodeMp3WithDirectShow, ReadMemoryPcmBlock, SeekMemoryPcmFrame,
    MemoryPcmLengthBytes, EndMemoryPcmReader,
};
const AudioReaderOps *const MediaGraphReader = &MediaGraphReaderOps;

} // namespace Korvo
