// application_state.cpp: the one ApplicationState of the process.
#include "app/application_state.h"

ApplicationState appState;
