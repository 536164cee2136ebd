// The scene interface of the frame loop.
#pragma once

// The scene the loop should show next: 0 stage selection, 1 battle (2 acts as 0).
typedef int SceneCode;
enum { kSceneSelect = 0, kSceneBattle = 1, kSceneSelectAlias = 2 };

// A scene of the game: one frame of it at a time.
class DrawWindow {
public:
    // Run and draw one frame; the scene to show next
    virtual SceneCode RunSceneFrame() = 0;
    // Put the scene into its starting state
    virtual void ResetScene() = 0;
    virtual ~DrawWindow() {}
};
