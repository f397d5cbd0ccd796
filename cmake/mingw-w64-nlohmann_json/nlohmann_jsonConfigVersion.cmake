# The host package's version, so that find_package(nlohmann_json 3) accepts this config.
set(PACKAGE_VERSION 3.11.2)
set(PACKAGE_VERSION_COMPATIBLE TRUE)
if(PACKAGE_FIND_VERSION STREQUAL PACKAGE_VERSION)
    set(PACKAGE_VERSION_EXACT TRUE)
endif()
