# Read by cpack before it packages: the package is the whole program or nothing.
if(NOT CPACK_QUILLFEN_HAVE_WINDOW_PROGRAM)
  message(FATAL_ERROR "The package needs the window program: configure with QUILLFEN_BUILD_GUI=ON.")
endif()
if(NOT CPACK_QUILLFEN_MAN_PAGES)
  message(FATAL_ERROR "The package needs the man pages, and they need scdoc: run make package, "
                      "which installs it, or install scdoc and configure again.")
endif()
