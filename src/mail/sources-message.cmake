list(APPEND TOLVAR_MAIL_MESSAGE_SOURCES
  mailstrings_message.cpp
  base64.cpp
  uucode.cpp
  qpcode.cpp
  mimetypes.cpp
  tempfile.cpp
  msheaders.cpp
  msmsg.cpp
  mswriter.cpp
  msstamp.cpp
  msheaderparse.cpp
  msdecoder.cpp
)
