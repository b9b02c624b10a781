// The Windows process layer: CreateProcessW with a hidden window, OpenProcess + WaitForSingleObject,
// SetPriorityClass, GetExitCodeProcess.
#error "process_win.cpp is not written yet: port process_posix.cpp (see CONTRIBUTING.md, Platform layer)"
