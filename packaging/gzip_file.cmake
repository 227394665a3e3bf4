# Compresses IN into OUT as Debian wants manual pages and changelogs: best
# compression, no file name or time stamp inside, so the package is reproducible.
execute_process(COMMAND gzip -9n -c "${IN}" OUTPUT_FILE "${OUT}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    file(REMOVE "${OUT}")
    message(FATAL_ERROR "gzip could not compress ${IN}")
endif()
