tolvar_unit_tests(mail_transport_tests
  sock_binding_test.cpp
  sock_socket_test.cpp
  smtp_client_test.cpp
  smtp_delivery_test.cpp
  smtp_tls_test.cpp
)
target_link_libraries(mail_transport_tests PRIVATE tolvar_mail)
