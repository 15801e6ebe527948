// release_all.h: the shutdown step that releases every device object in a fixed order.
#pragma once

// Clears the train, frees the overlay, releases the scene's meshes and textures and then the
// Direct3D, sound and input objects.
// Every pointer is tested and set to null, so a second call does nothing.
void releaseAll();
