# cmake -DINPUT=FILE -DOUTPUT=FILE.gz [-DVERSION=X] -P gzip_file.cmake
# Writes INPUT compressed as Debian wants it (gzip -9n: no name, no time
# stamp, so the package is reproducible). With VERSION, a manual page's
# .TH line names that version, so the pages never lag the build's version.
file(READ "${INPUT}" text)
if(DEFINED VERSION)
    string(REGEX REPLACE "(\n?\\.TH [^\n]*\"Halvorn )[^\"]*\"" "\\1${VERSION}\"" text "${text}")
endif()
string(REGEX REPLACE "\\.gz$" "" plain "${OUTPUT}")
file(WRITE "${plain}" "${text}")
execute_process(COMMAND gzip -9nf "${plain}" RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "gzip ${plain} failed")
endif()
