# The compile settings every target shares, in one place: each library, program, tool, test and
# bench program links quillfen_compile_settings (PRIVATE, so that a library does not hand them on
# twice). quillfen_check_compile_settings() at the end of the top-level CMakeLists.txt fails the
# configure step for a target that does not.
add_library(quillfen_compile_settings INTERFACE)
target_compile_features(quillfen_compile_settings INTERFACE cxx_std_20)
target_compile_options(quillfen_compile_settings INTERFACE -Wall -Wextra -Wpedantic
                       $<$<BOOL:${QUILLFEN_WERROR}>:-Werror>)

# Every QString is made on purpose, from UTF-8 or a literal, never by an implicit conversion; and a
# connect() that would narrow an argument does not compile. Tests set QUILLFEN_PLAIN_LITERALS to
# write their expected texts as plain string literals.
set(strict "$<NOT:$<BOOL:$<TARGET_PROPERTY:QUILLFEN_PLAIN_LITERALS>>>")
target_compile_definitions(quillfen_compile_settings INTERFACE
  $<${strict}:QT_NO_CAST_FROM_ASCII> $<${strict}:QT_NO_CAST_TO_ASCII> QT_NO_NARROWING_CONVERSIONS_IN_CONNECT)

if(QUILLFEN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "QUILLFEN_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  # Everything is instrumented for coverage; only the fuzz targets link libFuzzer's main().
  target_compile_options(quillfen_compile_settings INTERFACE
                         -fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                         -fno-sanitize-recover=undefined)
  target_link_options(quillfen_compile_settings INTERFACE -fsanitize=address,undefined)
endif()
if(QUILLFEN_SANITIZE)
  target_compile_options(quillfen_compile_settings INTERFACE -fsanitize=address,undefined
                         -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(quillfen_compile_settings INTERFACE -fsanitize=address,undefined)
endif()

# Debian's hardening, the flags dpkg-buildflags gives with hardening=+all (PIE is the compiler's
# default there): a stack protector, libc calls checked for overflows, format strings that cannot
# be abused, and relocations bound at start and then read-only. The sanitizer and fuzz builds check
# at run time already, and _FORTIFY_SOURCE needs the optimiser, so a Debug build goes without it.
if(QUILLFEN_HARDENING AND NOT QUILLFEN_SANITIZE AND NOT QUILLFEN_FUZZ)
  set(QUILLFEN_WITH_HARDENING ON)
  target_compile_options(quillfen_compile_settings INTERFACE -fstack-protector-strong -Wformat
                         -Werror=format-security $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
  target_link_options(quillfen_compile_settings INTERFACE LINKER:-z,relro LINKER:-z,now)
else()
  set(QUILLFEN_WITH_HARDENING OFF)
endif()

# Every target built from the project's sources, in DIR and below.
function(quillfen_collect_targets dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    quillfen_collect_targets(${sub} below)
    list(APPEND targets ${below})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

function(quillfen_check_compile_settings)
  quillfen_collect_targets(${PROJECT_SOURCE_DIR} targets)
  set(missing)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$")
      get_target_property(links ${target} LINK_LIBRARIES)
      if(NOT "quillfen_compile_settings" IN_LIST links)
        list(APPEND missing ${target})
      endif()
    endif()
  endforeach()
  if(missing)
    message(FATAL_ERROR "These targets do not link quillfen_compile_settings: ${missing}")
  endif()
endfunction()
