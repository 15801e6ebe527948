// scene_load.h: loads the scene once at start-up.
#pragma once

// Builds the track, loads the two master sounds and constructs the rolling-stock types,
// whose meshes and textures load with them.
void loadScene();
