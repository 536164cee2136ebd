// What a host test may set of the host stand-ins of the window and DirectX.
#pragma once

namespace GraphicsTest {

// DirectX fails to start while the main screen is this wide (0: it always starts)
extern int HostDirectXFailsAtWidth;

} // namespace GraphicsTest
