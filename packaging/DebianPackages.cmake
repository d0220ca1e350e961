# Debian packages, one per install component, made by CPack from this build.
#
# Package boundaries:
#   libkestane-platform1, libkestane-platform-dev  every library outside the two public ones
#       (registry, serial, storage, messages, object-server calls, event log, console settings).
#       They share one version and soname, are always built and released together, and every
#       program and public library links several of them: one package keeps them consistent
#       without a package per internal library.
#   libobjectkit1, libobjectkit-dev; librookclient1, librookclient-dev  the public libraries,
#       named after their sonames, each -dev with headers, CMake package and pkg-config files.
#   mic  the program, its own libraries (window, core, rack simulator), px5r-sim, the desktop
#       entry and the icon. mic's libraries have no other users, so they carry no -dev package.
#   rookd  the object server with its D-Bus activation file and systemd user unit.
#   kestane-tools  the registry tool kreg.
# Components that the build does not have (rookclient, rookd before they exist) make no package.

set(KESTANE_DEB_MAINTAINER "Kestane maintainers <packages@kestane.example.org>" CACHE STRING
    "Maintainer field of the Debian packages")
set(KESTANE_DEB_RELEASE 1)
set(KESTANE_DEB_VERSION "${PROJECT_VERSION}-${KESTANE_DEB_RELEASE}")

# The changelog's newest entry names the version being packaged.
file(STRINGS "${CMAKE_CURRENT_SOURCE_DIR}/changelog" changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^kestane \\(${KESTANE_DEB_VERSION}\\) ")
    message(FATAL_ERROR "packaging/changelog must begin with an entry for ${KESTANE_DEB_VERSION}, "
                        "not: ${changelog_head}")
endif()
execute_process(COMMAND gzip -9nc "${CMAKE_CURRENT_SOURCE_DIR}/changelog"
                OUTPUT_FILE "${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz"
                RESULT_VARIABLE gzip_result)
if(NOT gzip_result EQUAL 0)
    message(FATAL_ERROR "gzip of packaging/changelog failed")
endif()

set(major ${PROJECT_VERSION_MAJOR})
function(kestane_deb_name component out)
    if(component STREQUAL "platform")
        set(name libkestane-platform${major})
    elseif(component MATCHES "^(.*)-dev$")
        if(CMAKE_MATCH_1 STREQUAL "platform")
            set(name libkestane-platform-dev)
        else()
            set(name lib${CMAKE_MATCH_1}-dev)
        endif()
    elseif(component MATCHES "^(objectkit|rookclient)$")
        set(name lib${component}${major})
    elseif(component STREQUAL "tools")
        set(name kestane-tools)
    else()
        set(name ${component})
    endif()
    set(${out} ${name} PARENT_SCOPE)
endfunction()

# Which targets each runtime component holds.
get_property(libraries GLOBAL PROPERTY KESTANE_LIBRARIES)
get_property(programs GLOBAL PROPERTY KESTANE_PROGRAMS)
set(components "")
foreach(lib IN LISTS libraries)
    kestane_library_group(${lib} group)
    list(APPEND components ${group})
    list(APPEND targets_of_${group} ${lib})
    if(NOT group STREQUAL "mic")
        list(APPEND components ${group}-dev)
        list(APPEND libraries_of_${group}-dev ${lib})
    endif()
endforeach()
foreach(program IN LISTS programs)
    kestane_program_component(${program} component)
    list(APPEND components ${component})
    list(APPEND targets_of_${component} ${program})
endforeach()
list(REMOVE_DUPLICATES components)

# Libraries come from the other packages of this build: dpkg-shlibdeps finds them in the build
# tree and the exact-version dependencies below name their packages.
set(library_dirs "")
foreach(lib IN LISTS libraries)
    get_target_property(dir ${lib} BINARY_DIR)
    list(APPEND library_dirs "${dir}")
endforeach()
list(REMOVE_DUPLICATES library_dirs)

set(summary_platform "Kestane platform libraries")
set(about_platform
    "The registry, serial line, compound-file storage, message, object-server"
    "call, event log and console settings libraries that the Kestane programs and"
    "libraries link against.")
set(summary_objectkit "Kestane automation data library")
set(about_objectkit
    "objectkit holds automation events and arrays, reads and writes automation"
    "files, filters events, and handles edit decision lists, conform and value"
    "texts.")
set(summary_rookclient "Kestane console object server client library")
set(about_rookclient
    "rookclient holds the client proxies of the console's object server and the"
    "generic server object they are built on.")
set(summary_mic "Remote microphone pre-amp controller")
set(about_mic
    "mic controls up to 16 PX5R remote microphone pre-amp racks on one serial"
    "line: gain, phantom power, phase, pad and direct output of the 12 channels"
    "of each rack, optionally following the mixing console. px5r-sim, also in"
    "this package, runs simulated racks on a pseudo-terminal; mic --simulate N"
    "runs them inside mic to try it without hardware.")
set(summary_rookd "Kestane console object server")
set(about_rookd
    "rookd serves the console's objects on the D-Bus session bus to programs"
    "built with rookclient. D-Bus starts it when a client first asks for it,"
    "through its systemd user unit.")
set(summary_tools "Kestane registry tool")
set(about_tools
    "kreg reads and writes the typed values of the Kestane registry, where the"
    "programs keep their settings, such as the console type and the serial device"
    "of each port.")

set(section_platform libs)
set(section_objectkit libs)
set(section_rookclient libs)
set(section_mic sound)
set(section_rookd sound)
set(section_tools utils)

# What the CMake package files of objectkit and rookclient look for when a program finds them.
set(config_build_depends "pkg-config, libsystemd-dev, libgsf-1-dev, libsqlite3-dev, zlib1g-dev, libfmt-dev")

foreach(component IN LISTS components)
    string(TOUPPER ${component} up)
    kestane_deb_name(${component} name)
    set(CPACK_DEBIAN_${up}_PACKAGE_NAME ${name})
    set(depends "")
    if(component MATCHES "^(.*)-dev$")
        set(base ${CMAKE_MATCH_1})
        set(CPACK_DEBIAN_${up}_PACKAGE_SECTION libdevel)
        kestane_deb_name(${base} runtime)
        string(JOIN "\n" about ${about_${base}})
        set(CPACK_COMPONENT_${up}_DESCRIPTION "${summary_${base}} - development files\n"
            "Headers, CMake targets and pkg-config files for building programs\n"
            "against ${runtime}.\n"
            "${about}")
        string(JOIN "" CPACK_COMPONENT_${up}_DESCRIPTION ${CPACK_COMPONENT_${up}_DESCRIPTION})
        list(APPEND depends ${base})
        foreach(lib IN LISTS libraries_of_${component})
            kestane_linked_groups(${lib} linked)
            list(TRANSFORM linked APPEND "-dev")
            list(APPEND depends ${linked})
        endforeach()
        if(base MATCHES "^(objectkit|rookclient)$")
            set(CPACK_DEBIAN_${up}_PACKAGE_DEPENDS "${config_build_depends}")
        endif()
    else()
        set(CPACK_DEBIAN_${up}_PACKAGE_SECTION ${section_${component}})
        string(JOIN "\n" about ${about_${component}})
        set(CPACK_COMPONENT_${up}_DESCRIPTION "${summary_${component}}\n${about}")
        foreach(target IN LISTS targets_of_${component})
            kestane_linked_groups(${target} linked)
            list(APPEND depends ${linked})
        endforeach()
        # A package that ships shared libraries has dpkg refresh the linker cache when it is
        # installed or removed (and declares its libraries in a shlibs file, below).
        foreach(target IN LISTS targets_of_${component})
            if(target IN_LIST libraries)
                set(CPACK_DEBIAN_${up}_PACKAGE_CONTROL_EXTRA
                    "${CMAKE_CURRENT_SOURCE_DIR}/triggers")
            endif()
        endforeach()
    endif()
    list(REMOVE_DUPLICATES depends)
    list(REMOVE_ITEM depends ${component})
    set(CPACK_COMPONENT_${up}_DEPENDS ${depends})
    install(FILES "${CMAKE_CURRENT_SOURCE_DIR}/copyright"
                  "${CMAKE_CURRENT_BINARY_DIR}/changelog.Debian.gz"
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${name} COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestane)
set(CPACK_PACKAGE_VENDOR "Kestane")
set(CPACK_PACKAGE_CONTACT "${KESTANE_DEB_MAINTAINER}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_STRIP_FILES TRUE)
set(CPACK_COMPONENTS_ALL ${components})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KESTANE_DEB_RELEASE})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KESTANE_DEB_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SOURCE kestane)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${library_dirs})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
