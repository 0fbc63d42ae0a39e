#pragma once

// The system's header for the view. The model names the list box's select-range message
// LB_SELITEMRANGE, as the system does; the system's macro of that name would rewrite the model's
// constant, so the macro goes and the view sends the model's constant, which has its value.
#include <windows.h>
#undef LB_SELITEMRANGE
