# Mail codec throughput against Python's binascii: run bench/codecs.sh.
add_executable(tolvar_codecs_bench codecs_bench.cpp)
target_link_libraries(tolvar_codecs_bench PRIVATE tolvar_mail)
