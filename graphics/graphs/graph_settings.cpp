// The graph creation and load options, captured at call time so that a load
// running later on a worker uses the settings of its call.

#include "graphics/graphs/graph_record.h"


namespace Korvo {

// ---------------------------------------------------------------------------
// Module globals
// ---------------------------------------------------------------------------

// The stored options; the load options below are all off in this library.
static GraphCreateSettings StoredCreateSettings = {};
static int StoredNoTransparentColor = 0;
static int StoredTransparentToAlpha = 0;
static int StoredTransparentFromTopLeft = 0;
static int StoredKeepNoRestoreSource = 0;

// ---------------------------------------------------------------------------
// Internal helpers
// ---------------------------------------------------------------------------

static GraphCreateSettings DefaultCreateSettings()
{
    GraphCreateSettings settings = {};
    settings.plainParam4 = 1;
    settings.managedTexture = 1;
    settings.drawableDepth = 1;
    return settings;
}

// ---------------------------------------------------------------------------
// Public functions
// ---------------------------------------------------------------------------

void ResetGraphCreateSettings()
{
    StoredCreateSettings = DefaultCreateSettings();
    StoredNoTransparentColor = 0;
    StoredTransparentToAlpha = 0;
    StoredTransparentFromTopLeft = 0;
    StoredKeepNoRestoreSource = 0;
}

void CaptureGraphCreateSettings(GraphCreateSettings *settings)
{
    *settings = StoredCreateSettings;
}

void CaptureGraphLoadSettings(GraphLoadSettings *settings)
{
    *settings = GraphLoadSettings{};
    SetupImageLoadParams(&settings->imageParams);
    CaptureGraphCreateSettings(&settings->create);
    settings->noTransparentColor = StoredNoTransparentColor;
    settings->transparentToAlpha = StoredTransparentToAlpha;
    settings->transparentFromTopLeft = StoredTransparentFromTopLeft;
    settings->keepNoRestoreSource = StoredKeepNoRestoreSource;
}

void StoreGraphCreateSettings(const GraphCreateSettings *settings)
{
    StoredCreateSettings = *settings;
}

void CaptureDefaultGraphLoadSettings(GraphLoadSettings *settings)
{
    *settings = GraphLoadSettings{};
    SetupImageLoadParams(&settings->imageParams);
    settings->create = DefaultCreateSettings();
}

int GetGraphNoRestoreFlag()
{
    return StoredKeepNoRestoreSource;
}

} // namespace Korvo
