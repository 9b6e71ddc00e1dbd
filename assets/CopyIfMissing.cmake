# cmake -DFROM=... -DTO=... -P CopyIfMissing.cmake
# Copies FROM to TO unless TO exists: a file already there is the studio's.
if(NOT EXISTS "${TO}")
  file(COPY_FILE "${FROM}" "${TO}")
endif()
