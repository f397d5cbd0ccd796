# CLI11 for the Windows build, from the host's header-only package. Only its CLI/ folder is put on
# the include path: the host's whole /usr/include would hide MinGW's C library headers.
find_path(ZENDROW_CLI11_HOST_INCLUDE CLI/CLI.hpp PATHS /usr/include /usr/local/include NO_DEFAULT_PATH
          NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(_cli11_include ${CMAKE_BINARY_DIR}/cli11-include)
file(MAKE_DIRECTORY ${_cli11_include})
file(CREATE_LINK ${ZENDROW_CLI11_HOST_INCLUDE}/CLI ${_cli11_include}/CLI SYMBOLIC)
if(NOT TARGET CLI11::CLI11)
    add_library(CLI11::CLI11 INTERFACE IMPORTED)
    set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_cli11_include})
endif()
set(CLI11_FOUND TRUE)
