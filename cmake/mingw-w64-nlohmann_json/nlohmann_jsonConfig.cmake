# nlohmann/json for the Windows build, from the host's header-only package. Only its nlohmann/
# folder is put on the include path: the host's whole /usr/include would hide MinGW's C headers.
find_path(ZENDROW_JSON_HOST_INCLUDE nlohmann/json.hpp PATHS /usr/include /usr/local/include NO_DEFAULT_PATH
          NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(_json_include ${CMAKE_BINARY_DIR}/json-include)
file(MAKE_DIRECTORY ${_json_include})
file(CREATE_LINK ${ZENDROW_JSON_HOST_INCLUDE}/nlohmann ${_json_include}/nlohmann SYMBOLIC)
if(NOT TARGET nlohmann_json::nlohmann_json)
    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
    set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${_json_include})
endif()
set(nlohmann_json_FOUND TRUE)
