tolvar_unit_tests(mail_message_tests
  codec_test.cpp
  msg_model_test.cpp
  msg_writer_test.cpp
  msg_pyreader_test.cpp
  msg_decoder_test.cpp
)
target_link_libraries(mail_message_tests PRIVATE tolvar_mail)
target_compile_definitions(mail_message_tests PRIVATE MSG_PYREAD_SCRIPT="${CMAKE_CURRENT_SOURCE_DIR}/msg_pyread.py")
