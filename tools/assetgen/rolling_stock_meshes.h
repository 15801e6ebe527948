// rolling_stock_meshes.h: the bogie and the three car bodies.
#pragma once

#include "mesh_builder.h"

// Bogie centred on its origin, axles at x = +-120, wheel treads on the rail tops.
MeshBuilder buildBogie();
// Car bodies: front bogie centre at the origin, rear one at -bogieSpacing, the couplings
// bogieSetback beyond each; the underframe rests on the bogies' bolsters.
MeshBuilder buildGoodsCar();
MeshBuilder buildTankCar();
MeshBuilder buildPassengerCar();
