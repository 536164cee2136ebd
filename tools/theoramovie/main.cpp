// theoramovie: write an Ogg Theora movie of known frame colours (and a Vorbis
// soundtrack with --sound) for trying the player by hand.
//   theoramovie out.ogv [frames] [--sound]

#include "tools/theoramovie/theora_movie_writer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: theoramovie out.ogv [frames] [--sound]\n");
        return 2;
    }
    Korvo::TheoraMovieRecipe recipe;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--sound") == 0) {
            recipe.withSound = 1;
        } else {
            recipe.frames = std::atoi(argv[i]);
        }
    }
    if (!Korvo::WriteTheoraMovieFile(recipe, argv[1])) {
        std::fprintf(stderr, "theoramovie: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
