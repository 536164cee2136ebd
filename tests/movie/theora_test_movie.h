// A Theora movie of known frame colours written in memory and opened by the
// player, and the check that the player's image shows a given frame.
#pragma once

#include "movie/theora_player.h"
#include "tools/theoramovie/theora_movie_writer.h"

#include <cstdint>
#include <vector>

namespace TheoraTestMovie {

struct OpenMovie {
    std::vector<uint8_t> bytes;
    Korvo::StreamHandle stream = 0;
    Korvo::TheoraPlayer *player = nullptr;
    ~OpenMovie();
};

// Write the movie and open it with the given stock (a test failure when either fails)
void Open(OpenMovie *movie, const Korvo::TheoraMovieRecipe &recipe, int stock);
// Copy the frame on show and check the image shows frame n's colour (within coding loss)
void ExpectFrameShown(Korvo::TheoraPlayer *player, int n);
// Check the image shows frame n's colour, copying nothing
void ExpectImageOfFrame(Korvo::TheoraPlayer *player, int n);
// Set a bit that a keyframe's header keeps clear in keyframe n's packet (the
// decoder refuses the packet) and make its page's checksum right; false when
// frame n is no keyframe or the movie has another stream
bool DamageKeyframePacket(std::vector<uint8_t> *movie, int n);
// Wait until the decode thread has nothing left to do (state idle); false (and a
// failure naming the wait) when it is still busy at the backstop
bool ThreadGoesIdle(Korvo::TheoraPlayer *player);
// Hold the decode thread paused (at the top of its loop) until ReleaseThread
void HoldThread(Korvo::TheoraPlayer *player);
void ReleaseThread(Korvo::TheoraPlayer *player);

} // namespace TheoraTestMovie
