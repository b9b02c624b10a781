// The Windows session services: GetSystemMetrics itself, and "c:\TTYOutput.wav" as the default output.
#error "session_win.cpp is not written yet: port session_posix.cpp (see CONTRIBUTING.md, Platform layer)"
