// SPDX-FileCopyrightText: 2026 The kiparano developers
// SPDX-License-Identifier: MIT

#include "platform.h"

#include <windows.h>

// The program is unpacked where it was downloaded, and a Downloads folder is where a stranger's
// version.dll may already lie: the DLLs the program imports (VERSION, dwmapi, UxTheme and the
// rest, none of them a known DLL of Windows) are taken from System32 alone, never from the
// program's own folder. Windows 10 1607 and later read that from the load configuration's
// DependentLoadFlags, which MinGW-w64's headers call Reserved1; GNU ld does not link the
// structure into the image's data directory, so the build does (scripts/pe-load-config.sh).
// Microsoft's runtime has a structure of its own, which its linker fills.
// Constant, so that it is in the image as the loader reads it, before any code has run.
#ifdef __MINGW32__
namespace {

constexpr IMAGE_LOAD_CONFIG_DIRECTORY64 loadConfiguration()
{
    IMAGE_LOAD_CONFIG_DIRECTORY64 configuration{};
    configuration.Size = sizeof configuration;
    configuration.Reserved1 = LOAD_LIBRARY_SEARCH_SYSTEM32;
    return configuration;
}

} // namespace

extern "C" constinit const IMAGE_LOAD_CONFIG_DIRECTORY64 _load_config_used = loadConfiguration();
#endif

void preparePlatform()
{
    // The DLLs loaded later likewise: Qt loads UI Automation's by its bare name when a screen
    // reader first asks for the window.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}
