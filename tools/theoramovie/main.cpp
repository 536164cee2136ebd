// theoramovie: write an Ogg Theora movie of known frame colours (and a Vorbis
// soundtrack with --sound) for trying the player by hand and for the tests'
// fixtures.
//   theoramovie out.ogv [frames] [--sound] [--textured] [--picture WIDTHxHEIGHT+X+Y]
// --textured draws a moving pattern instead of flat colours; --picture sets the
// picture's size and its place in the coded frame (whole 16 x 16 blocks).

#include "tools/theoramovie/theora_movie_writer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char **argv)
{
    const char *usage = "usage: theoramovie out.ogv [frames] [--sound] [--textured] [--picture WIDTHxHEIGHT+X+Y]\n";
    if (argc < 2) {
        std::fprintf(stderr, "%s", usage);
        return 2;
    }
    Korvo::TheoraMovieRecipe recipe;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--sound") == 0) {
            recipe.withSound = 1;
        } else if (std::strcmp(argv[i], "--textured") == 0) {
            recipe.textured = 1;
        } else if (std::strcmp(argv[i], "--picture") == 0 && i + 1 < argc) {
            if (std::sscanf(argv[++i], "%dx%d+%d+%d", &recipe.width, &recipe.height, &recipe.pictureX,
                            &recipe.pictureY) != 4 ||
                recipe.width < 1 || recipe.height < 1 || recipe.pictureX < 0 || recipe.pictureY < 0) {
                std::fprintf(stderr, "%s", usage);
                return 2;
            }
        } else {
            recipe.frames = std::atoi(argv[i]);
        }
    }
    // Written whole under another name, then renamed as the last step: the movie
    // is there only when the program reached its end (the build reads that as the
    // sign of its normal end; see tools/wine_exec.sh --output).
    std::string part = std::string(argv[1]) + ".part";
    if (!Korvo::WriteTheoraMovieFile(recipe, part.c_str())) {
        std::fprintf(stderr, "theoramovie: cannot write %s\n", part.c_str());
        return 1;
    }
    std::remove(argv[1]);
    if (std::rename(part.c_str(), argv[1]) != 0) {
        std::fprintf(stderr, "theoramovie: cannot rename %s to %s\n", part.c_str(), argv[1]);
        return 1;
    }
    return 0;
}
