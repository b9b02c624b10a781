# Language libraries: the reader in quillfen_localization, langlib's writer, and the langlib program itself.
quillfen_add_test(language_library_test SOURCES language_library_test.cpp LIBS quillfen_localization quillfen_langlib)
quillfen_add_test(langlib_tool_test SOURCES langlib_tool_test.cpp LIBS Qt6::Core)
add_dependencies(langlib_tool_test langlib)
target_compile_definitions(langlib_tool_test PRIVATE LANGLIB_PROGRAM="$<TARGET_FILE:langlib>")
