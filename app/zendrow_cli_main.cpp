#include <iostream>

#include "app/command_line.h"
#include "engine/file_system.h"

int main(int argc, char** argv) {
    zendrow::DiskFileSystem fs;
    return zendrow::runCommandLine(argc, argv, std::cout, std::cerr, fs);
}
