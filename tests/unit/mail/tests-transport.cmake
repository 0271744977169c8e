# tolvar_unit_tests(mail_transport_tests ...)
