# SPDX-FileCopyrightText: 2026 The kiparano developers
# SPDX-License-Identifier: MIT
# Cross-compiling for s390x (64-bit, big-endian) with Debian's cross compiler and its multiarch
# libraries (dpkg --add-architecture s390x): Qt's libraries of s390x, its host tools (moc, rcc)
# of this machine. The programs built run here through qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(CMAKE_C_COMPILER s390x-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER s390x-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE s390x-linux-gnu)
set(PKG_CONFIG_EXECUTABLE s390x-linux-gnu-pkg-config)
set(QT_HOST_PATH /usr)
execute_process(COMMAND dpkg-architecture -qDEB_BUILD_MULTIARCH
    OUTPUT_VARIABLE build_multiarch OUTPUT_STRIP_TRAILING_WHITESPACE)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/${build_multiarch}/cmake)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
