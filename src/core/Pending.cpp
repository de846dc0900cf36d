// Start-up and timer steps whose operations come with later parts of the
// program. Each keeps its place in the sequence and does nothing yet, except
// that the runs which end by themselves still end, so no hidden process lingers.
#include "shell/TF_nolvara.h"

namespace shell {

void TF_nolvara::ClearUpdateRest() {}

void TF_nolvara::RunUpdater() { platform.system.requestTerminate(); }

void TF_nolvara::PeriodicUpdateCheck() {}

}  // namespace shell
