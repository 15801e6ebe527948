// placed_object.h: the leading fields of every drawn thing (track segment, bogie, car): the model
// it shows and its point and heading on the ground.
#pragma once

#include "graphics/mesh_model.h"

struct PlacedObject {
    MeshModel* model = nullptr;
    double x = 0.0;
    double z = 0.0;
    double heading = 0.0;
};

// Draws the object's model turned to its heading with its origin at (x, 0, z).
// A model without a mesh draws nothing.
void drawPlacedObject(const PlacedObject& object);
