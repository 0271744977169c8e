tolvar_unit_tests(decode_tests
  decode_test.cpp
)
target_link_libraries(decode_tests PRIVATE tolvar_replies)
