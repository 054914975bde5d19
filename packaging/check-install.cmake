# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT

# Installs the build tree into a scratch prefix and checks that every file lands in its
# standard place. Usage: cmake -DBUILD=dir -DPREFIX=dir -P check-install.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
    message(FATAL_ERROR "cmake --install failed")
endif()
set(expected
    bin/kiparano
    share/applications/com.example.kiparano.desktop
    share/metainfo/com.example.kiparano.metainfo.xml
    share/man/man1/kiparano.1.gz
    share/doc/kiparano/copyright
    share/doc/kiparano/changelog.gz)
foreach(size 32 48 64 128 256)
    list(APPEND expected share/icons/hicolor/${size}x${size}/apps/com.example.kiparano.png)
endforeach()
foreach(path ${expected})
    if(NOT EXISTS ${PREFIX}/${path})
        message(FATAL_ERROR "not installed: ${path}")
    endif()
endforeach()
message(STATUS "all expected files installed under ${PREFIX}")
