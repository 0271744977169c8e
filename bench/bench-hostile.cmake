# Growth of the work on hostile input (run by hand: build/tolvar_hostile_bench).
add_executable(tolvar_hostile_bench hostile_bench.cpp)
target_link_libraries(tolvar_hostile_bench PRIVATE tolvar_mail tolvar_core)
