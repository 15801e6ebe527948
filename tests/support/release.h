// release.h: releasing a COM interface the test holds and forgetting it, so that a second
// release (a fixture's tear-down after the test's own) does nothing.
#pragma once

template <typename Interface> void releaseInterface(Interface*& object) {
    if (object != nullptr)
        object->Release();
    object = nullptr;
}
