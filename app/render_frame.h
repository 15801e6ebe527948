// render_frame.h: one frame of the demo, from the clear to the present.
#pragma once

// Moves the train, places the camera and the listener, commits the frame's 3-D sound
// settings, refreshes the readouts and draws the track, the train and the overlay.
void renderFrame();
