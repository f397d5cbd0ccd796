#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include "engine/windows_text.h"
#endif

#include "app/command_line.h"
#include "engine/file_system.h"

#ifdef _WIN32
// The char arguments of main are in the ANSI code page, which cannot hold every file name; the
// wide command line can, and the engine takes it as UTF-8.
int main() {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 0; wide && i < count; ++i)
        args.push_back(zendrow::utf8FromWide(wide[i]));
    if (wide)
        ::LocalFree(wide);
    std::vector<const char*> argv;
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    argv.push_back(nullptr);

    // Names are printed as UTF-8; the console shows them so, and clears the progress line.
    ::SetConsoleOutputCP(CP_UTF8);
    const HANDLE err = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (::GetConsoleMode(err, &mode))
        ::SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);

    zendrow::DiskFileSystem fs;
    return zendrow::runCommandLine(static_cast<int>(args.size()), argv.data(), std::cout, std::cerr, fs);
}
#else
int main(int argc, char** argv) {
    // A write past the file-size limit must fail as a reported error, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    zendrow::DiskFileSystem fs;
    return zendrow::runCommandLine(argc, argv, std::cout, std::cerr, fs);
}
#endif
