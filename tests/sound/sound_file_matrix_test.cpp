// Sound files as other tools write them (tools/make_sound_fixtures.sh: SoX and
// lame with their defaults), loaded the way programs load them and played out
// through the recording voice back-end: each row checks the length in samples
// and the PCM played against SoX's own decode of the same file (GStreamer's for
// MS ADPCM, which SoX decodes its own way). Rows whose files need the
// platform's codecs (ADPCM, MP3) load where the compression manager is, in the
// Windows tests; elsewhere they must be refused with -1 and a log line, like
// the six-channel file everywhere.

#include "sound_fakes.h"
#include "tests/core/log_capture.h"
#include "tests/sound/hang_watchdog.h"

#include "core/memory/handle_manager.h"
#include "sound/sound_handle.h"
#include "sound/startup_entries.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

using namespace Korvo;

namespace {

// What a row expects of its load.
enum Expect {
    kSame,      // the length and every byte SoX's
    kSteps,     // SoX's length; samples within `steps` of SoX's
    kTrimmed,   // the length the source had (the encoder's delay and padding cut away);
                // samples within `steps` of SoX's at the offset that fits best
    kRefused,   // -1 and a log line
};

struct Row {
    const char *name;
    Expect expect;
    int steps;
    bool platformCodec; // ADPCM, MP3: the compression manager converts it
    int sourceFrames;   // kTrimmed: the frames lame was given
};

// Every file of the fixture list, with its expectation.
const Row Rows[] = {
    {"u8_mono_8000_even", kSame, 0, false, 0},
    {"u8_stereo_22050_odd", kSame, 0, false, 0},
    {"s16_mono_44100_odd", kSame, 0, false, 0},
    {"s16_stereo_48000_even", kSame, 0, false, 0},
    {"s24_mono_48000_odd", kSame, 0, false, 0},
    {"s24_stereo_96000_even", kSame, 0, false, 0},
    {"s24_plain_mono_22050_odd", kSame, 0, false, 0},
    {"s32_stereo_44100_odd", kSame, 0, false, 0},
    {"s32_plain_mono_8000_even", kSame, 0, false, 0},
    {"f32_mono_44100_odd", kSteps, 1, false, 0},   // truncated toward zero, SoX rounds
    {"f64_stereo_48000_even", kSteps, 1, false, 0},
    {"s16_6ch_48000_even", kRefused, 0, false, 0}, // play buffers serve mono and stereo
    {"mulaw_mono_48000_odd", kSame, 0, false, 0},
    {"mulaw_stereo_8000_even", kSame, 0, false, 0},
    {"alaw_mono_48000_odd", kSame, 0, false, 0},
    {"alaw_stereo_22050_even", kSame, 0, false, 0},
    {"ima_mono_22050_odd", kSame, 0, true, 0},
    {"ima_stereo_44100_even", kSame, 0, true, 0},
    {"msadpcm_mono_8000_odd", kSame, 0, true, 0},       // against GStreamer's decode
    {"msadpcm_stereo_48000_even", kSame, 0, true, 0},
    {"ogg_mono_22050_odd", kSteps, 1, false, 0},   // two builds of the same decoder
    {"ogg_stereo_44100_even", kSteps, 1, false, 0},
    {"mp3_cbr_mono_32000", kTrimmed, 8, true, 16001},
    {"mp3_cbr_stereo_44100", kTrimmed, 8, true, 22050},
    {"mp3_cbr_stereo_48000", kTrimmed, 8, true, 24000},
    {"mp3_vbr_mono_44100", kTrimmed, 8, true, 22051},
    {"mp3_vbr_stereo_48000", kTrimmed, 8, true, 24000},
};

// A fixture row: its file and the shape of SoX's decode.
struct Fixture {
    std::string file;
    int channels = 0;
    int rate = 0;
    int bits = 0;
};

std::vector<uint8_t> ReadMatrixFile(const std::string &name)
{
    std::ifstream file(std::string(KORVO_SOUND_FIXTURE_DIR) + "/matrix/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::map<std::string, Fixture> ReadFixtureList()
{
    std::map<std::string, Fixture> list;
    std::vector<uint8_t> text = ReadMatrixFile("rows.txt");
    std::istringstream lines(std::string(text.begin(), text.end()));
    std::string name;
    Fixture fixture;
    while (lines >> name >> fixture.file >> fixture.channels >> fixture.rate >> fixture.bits) {
        list[name] = fixture;
    }
    return list;
}

// Sample value i of little-endian PCM of the given bits (8-bit unsigned, centred).
int Sample(const std::vector<uint8_t> &pcm, int bits, size_t i)
{
    int bytes = bits / 8;
    const uint8_t *at = &pcm[i * bytes];
    if (bytes == 1) {
        return at[0] - 128;
    }
    int32_t value = 0;
    for (int b = 0; b < bytes; ++b) {
        value |= static_cast<int32_t>(at[b]) << (8 * b + 32 - 8 * bytes);
    }
    return value >> (32 - 8 * bytes);
}

// Largest difference of the samples a[i] and b[i + shift] where both exist.
int64_t LargestStep(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b, int bits, long shift)
{
    size_t count = a.size() / (bits / 8);
    size_t other = b.size() / (bits / 8);
    int64_t largest = 0;
    for (size_t i = 0; i < count; ++i) {
        long j = static_cast<long>(i) + shift;
        if (j >= 0 && static_cast<size_t>(j) < other) {
            largest = std::max<int64_t>(largest, std::llabs(Sample(a, bits, i) - Sample(b, bits, j)));
        }
    }
    return largest;
}

// The sample shift (whole frames) within reach that brings b nearest to a.
long BestShift(const std::vector<uint8_t> &a, const std::vector<uint8_t> &b, int channels, long reach)
{
    long best = 0;
    double bestError = -1;
    for (long frames = -reach; frames <= reach; ++frames) {
        long shift = frames * channels;
        double error = 0;
        size_t count = a.size() / 2;
        for (size_t i = 0; i < count; i += 3) {
            long j = static_cast<long>(i) + shift;
            double d = j >= 0 && static_cast<size_t>(j) < b.size() / 2 ? Sample(a, 16, i) - Sample(b, 16, j) : 0;
            error += d * d;
        }
        if (bestError < 0 || error < bestError) {
            bestError = error;
            best = shift;
        }
    }
    return best;
}

class SoundFileMatrixTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KorvoTest::StartFreshLog();
        if (AcmFunctionsLoaded == 0) {
            LoadAcmFunctions(); // the host has no compression manager
        }
        ASSERT_EQ(SoundFakes::StartWith(SoundFakes::VoiceBackend()), 0);
    }
    void TearDown() override { SoundFakes::Stop(); }
};

} // namespace

TEST_F(SoundFileMatrixTest, FilesOfOtherToolsLoadWithTheirLengthAndSamplesOrAreRefused)
{
    std::map<std::string, Fixture> fixtures = ReadFixtureList();
    ASSERT_EQ(fixtures.size(), sizeof(Rows) / sizeof(Rows[0])) << "tools/make_sound_fixtures.sh made another list";
    // A load that never returns ends the program here, not at the test runner's limit.
    SoundTestFiles::HangWatchdog watchdog(120);
    for (const Row &row : Rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(fixtures.count(row.name), 1u);
        const Fixture &fixture = fixtures[row.name];
        std::vector<uint8_t> reference = ReadMatrixFile(std::string(row.name) + ".ref");
        std::string path = SoundFakes::WriteFile(fixture.file, ReadMatrixFile(fixture.file));
        bool refused = row.expect == kRefused || (row.platformCodec && AcmFunctionsLoaded == 0);

        KorvoTest::StartFreshLog();
        watchdog.Time(std::string("loading ") + row.name);
        int handle = LoadSoundFileAsHandle(path.c_str(), 1, -1);
        if (refused) {
            EXPECT_EQ(handle, -1);
            EXPECT_NE(KorvoTest::ReadLogFile().find(path), std::string::npos) << "the log names the file";
            std::printf("%-26s refused with -1%s\n", row.name, row.expect == kRefused ? "" : " (no platform codecs here)");
            continue;
        }
        // Every row is tried, whichever fails.
        if (handle == -1) {
            ADD_FAILURE() << "refused: " << KorvoTest::ReadLogFile();
            continue;
        }
        SoundFakes::FakeVoice *voice = SoundFakes::Voices.size() == 1 ? SoundFakes::Voices[0] : nullptr;
        if (voice == nullptr || voice->format.channels != fixture.channels ||
            voice->format.samplesPerSec != static_cast<uint32_t>(fixture.rate) ||
            voice->format.bitsPerSample != fixture.bits || StartSoundHandlePlayback(handle, PlayBackground, 1) != 0) {
            ADD_FAILURE() << "not one voice of the file's shape that plays";
            DeleteHandleRecord(handle);
            continue;
        }
        for (int pass = 0; pass < 100000 && voice->started; ++pass) {
            SoundFakes::PullVoice(voice, voice->format.avgBytesPerSec / 100);
        }
        const std::vector<uint8_t> &played = voice->captured;
        int frameBytes = fixture.channels * fixture.bits / 8;
        long frames = GetSoundHandleLengthSamples(handle);
        long soxFrames = static_cast<long>(reference.size()) / frameBytes;
        EXPECT_EQ(static_cast<long>(played.size()), frames * frameBytes) << "what plays is the length";

        long shift = 0;
        if (row.expect == kTrimmed) {
            EXPECT_EQ(frames, row.sourceFrames);
            shift = BestShift(played, reference, fixture.channels, 2400);
        } else {
            EXPECT_EQ(frames, soxFrames);
        }
        int64_t steps = LargestStep(played, reference, fixture.bits, shift);
        std::printf("%-26s %6ld frames (SoX %6ld), largest step %lld at shift %ld\n", row.name, frames, soxFrames,
                    static_cast<long long>(steps), shift / fixture.channels);
        if (row.expect == kSame) {
            EXPECT_TRUE(played == reference) << "largest step " << steps;
        } else {
            EXPECT_LE(steps, row.steps);
        }
        DeleteHandleRecord(handle);
    }
    watchdog.Time("the end of the test");
}
