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
    share/man/ja/man1/kiparano.1.gz
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
# man finds each language's page where it was installed (through MANPATH: man -M would search
# the folder named alone, not its languages' folders).
foreach(language ja en)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 MANPAGER=cat MANWIDTH=80
                    MANPATH=${PREFIX}/share/man man -L ${language} kiparano
                    OUTPUT_VARIABLE page ERROR_VARIABLE said RESULT_VARIABLE failed)
    set(title_ja "予想ソフト「ミヴォレタ★」")
    set(title_en "opens the window Mivoreta")
    if(failed OR NOT page MATCHES "${title_${language}}")
        message(FATAL_ERROR "man -L ${language} kiparano showed no \"${title_${language}}\":\n${page}${said}")
    endif()
endforeach()
message(STATUS "all expected files installed under ${PREFIX}; man shows each language's page")
