// The calculator's start and end of the window toolkit. While the toolkit is up, the number
// engine's internal-fault reports go to the toolkit's "ASSERT Failed" box; otherwise to
// standard error.
#pragma once

// Starts the toolkit (the host chosen by TORVA_HOST) with the process allocator; 0, or
// WindowProlog's failure code.
int calcStartToolkit(int argc, char **argv);
// Ends the toolkit; the engine reports to standard error again.
void calcStopToolkit();
