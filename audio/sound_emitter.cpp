// sound_emitter.cpp: moving an axle's clack emitter along the track and playing it. An emitter
// built without its master has no buffer and stays silent.
#include "audio/sound_emitter.h"

void SoundEmitter::moveTo(TrackPosition position, bool clacks) {
    bool passedJoint = clacks && track.crossesRailJoint(trackPosition, position);
    trackPosition = position;
    if (passedJoint)
        play();
}

void SoundEmitter::play() {
    if (!buffer)
        return;
    TrackPoint point = track.segments[trackPosition.segmentIndex]->pointAt(trackPosition.offset);
    if (buffer3D)
        buffer3D->SetPosition(float(point.x * soundUnitsPerWorldUnit), 0.0f,
                              float(point.z * soundUnitsPerWorldUnit), DS3D_DEFERRED);
    buffer->SetCurrentPosition(0);
    buffer->Play(0, 0, 0);
}
