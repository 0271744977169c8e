# The SMTP client against a local aiosmtpd, msmtp and Python's smtplib; run
# through bench/smtp.sh. A plain program: it measures whole deliveries.
add_executable(smtp_bench ${CMAKE_CURRENT_SOURCE_DIR}/smtp_bench.cpp)
target_link_libraries(smtp_bench PRIVATE tolvar_mail)
target_compile_definitions(smtp_bench PRIVATE TOLVAR_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
