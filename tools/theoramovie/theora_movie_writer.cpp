// Ogg Theora movie writer on libtheora's encoder and libvorbisenc.

#include "tools/theoramovie/theora_movie_writer.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <ogg/ogg.h>
#include <theora/theoraenc.h>
#include <vorbis/vorbisenc.h>

namespace Korvo {

static void AppendPage(const ogg_page &page, std::vector<uint8_t> *out)
{
    out->insert(out->end(), page.header, page.header + page.header_len);
    out->insert(out->end(), page.body, page.body + page.body_len);
}

static void FlushPages(ogg_stream_state *stream, std::vector<uint8_t> *out, bool force)
{
    ogg_page page;
    while (force ? ogg_stream_flush(stream, &page) : ogg_stream_pageout(stream, &page)) {
        AppendPage(page, out);
    }
}

void TheoraMovieFrameColour(int frame, int *y, int *u, int *v)
{
    // Small steps from frame to frame, so the encoder codes most frames as
    // predicted frames rather than scene cuts.
    *y = 30 + (frame * 6) % 192;
    *u = 124 + (frame % 5) * 2;
    *v = 134 - (frame % 7) * 2;
}

void TheoraMovieFrameRgb(int frame, int *r, int *g, int *b)
{
    int y, u, v;
    TheoraMovieFrameColour(frame, &y, &u, &v);
    double luma = 1.164 * (y - 16);
    auto clamp = [](double c) { return c < 0 ? 0 : (c > 255 ? 255 : static_cast<int>(c)); };
    *r = clamp(luma + 1.596 * (v - 128));
    *g = clamp(luma - 0.391 * (u - 128) - 0.813 * (v - 128));
    *b = clamp(luma + 2.018 * (u - 128));
}

void TheoraMovieFrameSize(const TheoraMovieRecipe &recipe, int *width, int *height)
{
    *width = (recipe.pictureX + recipe.width + 15) / 16 * 16;
    *height = (recipe.pictureY + recipe.height + 15) / 16 * 16;
}

// The planes of one coded frame (frameWidth x frameHeight, chroma halved both ways).
struct FramePlanes {
    int frameWidth, frameHeight;
    std::vector<uint8_t> y, u, v;
};

// The picture into its place in the frame; the chroma planes are filled whole
// (the encoder reads the picture's part and pads the rest itself).
static void FillFrame(const TheoraMovieRecipe &recipe, int frame, FramePlanes *planes)
{
    int cy, cu, cv;
    TheoraMovieFrameColour(frame, &cy, &cu, &cv);
    for (int row = 0; row < recipe.height; ++row) {
        uint8_t *out = planes->y.data() + static_cast<size_t>(recipe.pictureY + row) * planes->frameWidth +
                       recipe.pictureX;
        for (int x = 0; x < recipe.width; ++x) {
            int value = cy;
            if (x >= recipe.width * 3 / 4) {
                // A still, detailed strip at the right edge: costly to code
                // afresh, free to predict, so the encoder keeps to its keyframe interval.
                value = 16 + (x * 37 + row * 91 + (x * row) % 13 * 17) % 200;
            }
            if (recipe.textured) {
                value = 16 + ((x + frame * 3) ^ (row * 2)) % 220;
            }
            out[x] = static_cast<uint8_t>(value);
        }
    }
    const int cw = planes->frameWidth / 2;
    for (int row = 0; row < planes->frameHeight / 2; ++row) {
        for (int x = 0; x < cw; ++x) {
            int du = recipe.textured ? ((x * 5 + row + frame) % 64) - 32 : 0;
            planes->u[static_cast<size_t>(row) * cw + x] = static_cast<uint8_t>(cu + du);
            planes->v[static_cast<size_t>(row) * cw + x] = static_cast<uint8_t>(cv - du);
        }
    }
}

bool WriteTheoraMovie(const TheoraMovieRecipe &recipe, std::vector<uint8_t> *out)
{
    FramePlanes planes;
    TheoraMovieFrameSize(recipe, &planes.frameWidth, &planes.frameHeight);
    th_info info;
    th_info_init(&info);
    info.frame_width = planes.frameWidth;
    info.frame_height = planes.frameHeight;
    info.pic_width = recipe.width;
    info.pic_height = recipe.height;
    info.pic_x = recipe.pictureX;
    info.pic_y = recipe.pictureY;
    info.fps_numerator = recipe.fpsNumerator;
    info.fps_denominator = recipe.fpsDenominator;
    info.aspect_numerator = 1;
    info.aspect_denominator = 1;
    info.colorspace = TH_CS_UNSPECIFIED;
    info.pixel_fmt = TH_PF_420;
    info.quality = 63;
    info.keyframe_granule_shift = 6;
    th_enc_ctx *encoder = th_encode_alloc(&info);
    th_info_clear(&info);
    if (encoder == nullptr) {
        return false;
    }
    ogg_uint32_t interval = static_cast<ogg_uint32_t>(recipe.keyframeInterval);
    th_encode_ctl(encoder, TH_ENCCTL_SET_KEYFRAME_FREQUENCY_FORCE, &interval, sizeof(interval));

    ogg_stream_state video, audio;
    ogg_stream_init(&video, 0x7e0);
    ogg_stream_init(&audio, 0x5a1);
    th_comment comment;
    th_comment_init(&comment);
    ogg_packet packet;
    bool first = true;
    while (th_encode_flushheader(encoder, &comment, &packet) > 0) {
        ogg_stream_packetin(&video, &packet);
        if (first) {
            FlushPages(&video, out, true); // the first header alone on the stream's first page
            first = false;
        }
    }
    th_comment_clear(&comment);

    vorbis_info vi;
    vorbis_comment vc;
    vorbis_dsp_state vd;
    vorbis_block vb;
    if (recipe.withSound) {
        vorbis_info_init(&vi);
        vorbis_encode_init_vbr(&vi, 1, recipe.sampleRate, 0.2f);
        vorbis_comment_init(&vc);
        vorbis_analysis_init(&vd, &vi);
        vorbis_block_init(&vd, &vb);
        ogg_packet id, com, code;
        vorbis_analysis_headerout(&vd, &vc, &id, &com, &code);
        ogg_stream_packetin(&audio, &id);
        FlushPages(&audio, out, true);
        ogg_stream_packetin(&audio, &com);
        ogg_stream_packetin(&audio, &code);
    }
    FlushPages(&video, out, true);
    if (recipe.withSound) {
        FlushPages(&audio, out, true);
    }

    planes.y.assign(static_cast<size_t>(planes.frameWidth) * planes.frameHeight, 16);
    planes.u.assign(planes.y.size() / 4, 128);
    planes.v.assign(planes.y.size() / 4, 128);
    long samplesPerFrame = static_cast<long>(
        static_cast<int64_t>(recipe.sampleRate) * recipe.fpsDenominator / recipe.fpsNumerator);
    long sample = 0;
    const int soundFrames = recipe.withSound ? (recipe.soundFrames >= 0 ? recipe.soundFrames : recipe.frames) : 0;
    const int steps = recipe.frames > soundFrames ? recipe.frames : soundFrames;
    for (int frame = 0; frame < steps; ++frame) {
        if (frame < recipe.frames) {
            FillFrame(recipe, frame, &planes);
            const int cw = planes.frameWidth / 2, ch = planes.frameHeight / 2;
            th_ycbcr_buffer buffer = {
                {planes.frameWidth, planes.frameHeight, planes.frameWidth, planes.y.data()},
                {cw, ch, cw, planes.u.data()},
                {cw, ch, cw, planes.v.data()},
            };
            th_encode_ycbcr_in(encoder, buffer);
            while (th_encode_packetout(encoder, frame == recipe.frames - 1, &packet) > 0) {
                ogg_stream_packetin(&video, &packet);
            }
            FlushPages(&video, out, false);
        }
        if (frame < soundFrames) {
            float **pcm = vorbis_analysis_buffer(&vd, static_cast<int>(samplesPerFrame));
            for (long i = 0; i < samplesPerFrame; ++i, ++sample) {
                pcm[0][i] = 0.3f * static_cast<float>(std::sin(sample * 2 * 3.14159265358979 * 440.0 / recipe.sampleRate));
            }
            vorbis_analysis_wrote(&vd, static_cast<int>(samplesPerFrame));
            if (frame == soundFrames - 1) {
                vorbis_analysis_wrote(&vd, 0);
            }
            while (vorbis_analysis_blockout(&vd, &vb) == 1) {
                vorbis_analysis(&vb, nullptr);
                vorbis_bitrate_addblock(&vb);
                ogg_packet audioPacket;
                while (vorbis_bitrate_flushpacket(&vd, &audioPacket)) {
                    ogg_stream_packetin(&audio, &audioPacket);
                }
            }
            FlushPages(&audio, out, recipe.soundPageEveryFrame != 0);
        }
        if (frame == recipe.frames - 1) {
            FlushPages(&video, out, true);
        }
    }
    th_encode_free(encoder);
    ogg_stream_clear(&video);
    if (recipe.withSound) {
        FlushPages(&audio, out, true);
        vorbis_block_clear(&vb);
        vorbis_dsp_clear(&vd);
        vorbis_comment_clear(&vc);
        vorbis_info_clear(&vi);
    }
    ogg_stream_clear(&audio);
    return true;
}

bool WriteTheoraMovieFile(const TheoraMovieRecipe &recipe, const char *path)
{
    std::vector<uint8_t> bytes;
    if (!WriteTheoraMovie(recipe, &bytes)) {
        return false;
    }
    FILE *file = std::fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

} // namespace Korvo
