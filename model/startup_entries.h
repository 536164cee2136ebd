// 3-D model services that the core runtime calls at start-up and shut-down.
#pragma once

namespace Korvo {

// Register the model-base and model handle kinds once (Direct3D mode only); 0
int InitModelHandleTypes();
// Delete all models and model bases and end both kinds; 0
int TermModelHandleTypes();

} // namespace Korvo
