# tolvar_unit_tests(mail_message_tests ...)
