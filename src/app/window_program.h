#pragma once

class QApplication;

namespace quillfen {

// The window program from its start to its end: the real dialogs, the main window with its Help
// menu, the start-up sequence and the event loop. Returns the exit status.
int runWindowProgram(QApplication& app);

} // namespace quillfen
