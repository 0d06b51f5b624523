#ifndef TOOLS_BASESIM_PROCESSSIMULATION_H
#define TOOLS_BASESIM_PROCESSSIMULATION_H

#include "BaseModel.h"
#include "HidapiFrontEnd.h"

namespace basesim {

/// The one simulated base of the process (plugged at start unless
/// BASESIM_START=unplugged) and the hidapi front end over it. Never
/// destroyed: threads of the program may still call hidapi while static
/// objects are torn down at exit.
BaseModel &processBase();
HidapiFrontEnd &processHidapi();

} // namespace basesim

#endif // TOOLS_BASESIM_PROCESSSIMULATION_H
