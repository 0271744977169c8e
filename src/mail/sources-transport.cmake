list(APPEND TOLVAR_MAIL_TRANSPORT_SOURCES
  mailstrings_socket.cpp
  agwsock.cpp
  agsocket.cpp
  mailbase.cpp
  mssmtp.cpp
  pollpump.cpp
  resolver.cpp
)
