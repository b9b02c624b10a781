# The TTY decoder, and the generated prompt set checked through it.
# It reads a FIFO too, which Windows does not have.
if(NOT WIN32)
  quillfen_add_test(tty_decoder_test SOURCES tty_decoder_test.cpp LIBS quillfen_conversion SndFile::sndfile)
endif()
quillfen_add_test(prompt_set_test SOURCES prompt_set_test.cpp LIBS quillfen_conversion ttyprompts_synth SndFile::sndfile)
add_dependencies(prompt_set_test tty_prompts)
quillfen_add_test(fifty_baud_prompts_test SOURCES fifty_baud_prompts_test.cpp LIBS quillfen_conversion ttyprompts_synth)
