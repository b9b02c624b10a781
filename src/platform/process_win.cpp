// The Windows process layer: CreateProcessW with a hidden window, OpenProcess + WaitForSingleObject,
// SetPriorityClass, GetExitCodeProcess; waitForProcessEnd as WaitForSingleObject with its timeout,
// terminateProcess as TerminateProcess, processBytesWritten from GetProcessIoCounters' WriteTransferCount.
#error "process_win.cpp is not written yet: port process_posix.cpp (see CONTRIBUTING.md, Platform layer)"
