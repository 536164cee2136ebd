// Korvo: the one header a program includes. Every public operation of the
// library is declared in namespace Korvo by the headers below, one for each
// subsystem; everything else in the tree is the library's own.
#pragma once

#include "core/public_api.h"
#include "image/public_api.h"
#include "graphics/public_api.h"
#include "font/public_api.h"
#include "input/public_api.h"
#include "sound/public_api.h"
#include "movie/public_api.h"
