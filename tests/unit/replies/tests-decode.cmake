tolvar_unit_tests(decode_tests
  decode_test.cpp
  decode_button_test.cpp
  uujoin_test.cpp
)
target_link_libraries(decode_tests PRIVATE tolvar_replies tolvar_app)
target_compile_definitions(decode_tests PRIVATE TOLVAR_DATA_DIR="${PROJECT_SOURCE_DIR}/data/files/")
