// The Windows file services: GetModuleFileNameW for the program directory, and
// GetFileAttributesW / SetFileAttributesW with FILE_ATTRIBUTE_READONLY, and for
// openRegularFileForReading CreateFileW with GetFileType (FILE_TYPE_DISK) and _open_osfhandle.
#error "files_win.cpp is not written yet: port files_posix.cpp (see CONTRIBUTING.md, Platform layer)"
