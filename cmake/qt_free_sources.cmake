# cmake -DKV_FOLDERS=<folder>|<folder>... -P qt_free_sources.cmake
#
# Fails when a .h or .cpp file directly in one of the folders (their ui/ subfolders hold the Qt
# windows) includes a Qt header (<QString>, <QtCore/qglobal.h>, <qglobal.h>) or a header of
# the Qt targets (gui/, app/, display/, <subsystem>/ui/).

string(REPLACE "|" ";" folders "${KV_FOLDERS}")
set(qt_header "[<\"](Q[A-Za-z0-9_]*|Qt[A-Za-z0-9_]*/[^>\"]*|q[a-z0-9_]*\\.h)[>\"]")
set(qt_target_header "[<\"](gui|app|display|[a-z]+/ui)/[^>\"]*[>\"]")
set(problems "")
foreach(folder IN LISTS folders)
    file(GLOB files ${folder}/*.h ${folder}/*.cpp)
    foreach(file IN LISTS files)
        file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include")
        foreach(line IN LISTS includes)
            if(line MATCHES "include[ \t]*${qt_header}" OR
               line MATCHES "include[ \t]*${qt_target_header}")
                string(STRIP "${line}" line)
                string(APPEND problems "\n  ${file}: ${line}")
            endif()
        endforeach()
    endforeach()
endforeach()
if(problems)
    message(FATAL_ERROR "The Qt-free targets must not include Qt headers:${problems}")
endif()
