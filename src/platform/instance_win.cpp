// The Windows previous-instance test: a named mutex per user and executable, and a named pipe on
// which the first copy listens so that a later one can bring it forward.
#error "instance_win.cpp is not written yet: port instance_posix.cpp (see CONTRIBUTING.md, Platform layer)"
