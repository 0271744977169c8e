list(APPEND TOLVAR_MAIL_TRANSPORT_SOURCES
  mailstrings_socket.cpp
  agwsock.cpp
  agsocket.cpp
  agsocktls.cpp
  agtls.cpp
  mailbase.cpp
  mssmtp.cpp
  pollpump.cpp
  resolver.cpp
)
