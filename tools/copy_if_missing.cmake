# Copies SRC to DST only when DST does not exist: a user may have edited it.
if(NOT EXISTS "${DST}")
    file(COPY_FILE "${SRC}" "${DST}")
endif()
