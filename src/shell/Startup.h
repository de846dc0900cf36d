// The program entry's part that does not depend on the window toolkit.
#pragma once

namespace shell {

class TF_nolvara;

// Runs the window's start-up; an error raised there is shown in a message box
// and the window then opens as in an interactive run. Shows the window unless
// the kind of run keeps it hidden or the end of the program was requested.
void StartProgram(TF_nolvara& window);

}  // namespace shell
