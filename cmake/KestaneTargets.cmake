# Helpers shared by every module: one way to declare a library, a program and a test.

# Which group a library is installed and packaged with: the two public libraries each have their
# own, the libraries that only mic and its rack simulator use (the Qt adapter of the bus among
# them: nothing but a Qt program needs it) go with mic, and every other library
# belongs to the platform that all of them link against. A group's runtime files form the install
# component <group>, its headers, link names, CMake and pkg-config files the component <group>-dev.
function(kestane_library_group name out)
    if(name MATCHES "^(objectkit|rookclient)$")
        set(${out} ${name} PARENT_SCOPE)
    elseif(name MATCHES "^(mic_.*|px5rsim|platform_com_qt)$")
        set(${out} mic PARENT_SCOPE)
    else()
        set(${out} platform PARENT_SCOPE)
    endif()
endfunction()

# Which install component a program belongs to: mic and its companions (the rack simulator, and
# any mic* tool) go with mic, rookd has its own, the rest are the command-line tools.
function(kestane_program_component name out)
    if(name MATCHES "^(mic.*|px5r-sim)$")
        set(${out} mic PARENT_SCOPE)
    elseif(name STREQUAL "rookd")
        set(${out} rookd PARENT_SCOPE)
    else()
        set(${out} tools PARENT_SCOPE)
    endif()
endfunction()

# kestane_library(NAME SOURCES ... [PUBLIC_LIBS ...] [PRIVATE_LIBS ...] [HEADERS_DIR dir])
# Builds a versioned shared library whose public headers live in <module>/include and
# registers it for installation and for find_package() by console programs.
function(kestane_library name)
    cmake_parse_arguments(ARG "" "HEADERS_DIR" "SOURCES;PUBLIC_LIBS;PRIVATE_LIBS" ${ARGN})
    if(NOT ARG_HEADERS_DIR)
        set(ARG_HEADERS_DIR "${CMAKE_CURRENT_SOURCE_DIR}/include")
    endif()
    add_library(${name} SHARED ${ARG_SOURCES})
    add_library(kestane::${name} ALIAS ${name})
    set_target_properties(${name} PROPERTIES
        VERSION ${PROJECT_VERSION}
        SOVERSION ${PROJECT_VERSION_MAJOR}
        EXPORT_NAME ${name})
    target_include_directories(${name} PUBLIC
        $<BUILD_INTERFACE:${ARG_HEADERS_DIR}>
        $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/kestane>)
    target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LIBS} PRIVATE ${ARG_PRIVATE_LIBS})
    kestane_library_group(${name} group)
    install(TARGETS ${name} EXPORT kestane-${group}Targets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
            COMPONENT ${group} NAMELINK_COMPONENT ${group}-dev
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${group})
    if(EXISTS "${ARG_HEADERS_DIR}")
        install(DIRECTORY "${ARG_HEADERS_DIR}/" DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kestane
                COMPONENT ${group}-dev)
    endif()
    set_property(GLOBAL APPEND PROPERTY KESTANE_LIBRARIES ${name})
    set_property(GLOBAL APPEND PROPERTY KESTANE_LIBRARY_GROUPS ${group})
endfunction()

# kestane_program(NAME SOURCES ... [LIBS ...])
function(kestane_program name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    kestane_program_component(${name} component)
    install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${component})
    set_property(GLOBAL APPEND PROPERTY KESTANE_PROGRAMS ${name})
endfunction()

# The groups of the kestane libraries that target links against, directly or through the
# libraries and static helper libraries it links, in link order, without repeats.
function(kestane_linked_groups target out)
    get_property(libs GLOBAL PROPERTY KESTANE_LIBRARIES)
    set(groups "")
    set(seen "")
    set(pending ${target})
    while(pending)
        list(POP_FRONT pending current)
        if(current IN_LIST seen OR NOT TARGET ${current})
            continue()
        endif()
        list(APPEND seen ${current})
        if(NOT current STREQUAL target AND current IN_LIST libs)
            kestane_library_group(${current} group)
            list(APPEND groups ${group})
        endif()
        get_target_property(linked ${current} LINK_LIBRARIES)
        if(linked)
            list(TRANSFORM linked REPLACE "^kestane::" "")
            list(APPEND pending ${linked})
        endif()
    endwhile()
    list(REMOVE_DUPLICATES groups)
    set(${out} ${groups} PARENT_SCOPE)
endfunction()

# kestane_test(NAME SOURCES ... [LIBS ...] [LABELS ...] [ENV ...])
# A GoogleTest program; each test case becomes one CTest test, found when ctest runs.
function(kestane_test name)
    if(NOT KESTANE_BUILD_TESTS)
        return()
    endif()
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest GTest::gtest_main)
    set(props TIMEOUT ${ARG_TIMEOUT})
    if(ARG_LABELS)
        list(APPEND props LABELS "${ARG_LABELS}")
    endif()
    if(ARG_ENV)
        list(APPEND props ENVIRONMENT "${ARG_ENV}")
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 60
        PROPERTIES ${props})
endfunction()

# Writes the CMake package files of the two libraries that console programs link against,
# and a pkg-config file for each installed library. Each group's targets have a file of their
# own, so that a library's package files need only the groups it links against.
function(kestane_install_packages)
    get_property(libs GLOBAL PROPERTY KESTANE_LIBRARIES)
    if(NOT libs)
        return()
    endif()
    get_property(groups GLOBAL PROPERTY KESTANE_LIBRARY_GROUPS)
    list(REMOVE_DUPLICATES groups)
    foreach(group IN LISTS groups)
        install(EXPORT kestane-${group}Targets NAMESPACE kestane::
                DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kestane COMPONENT ${group}-dev)
    endforeach()
    foreach(pkg IN ITEMS objectkit rookclient)
        if(NOT pkg IN_LIST libs)
            continue()
        endif()
        set(KESTANE_PACKAGE ${pkg})
        # Groups that others link against come first: a targets file checks, when read, that
        # the targets it refers to in other groups exist.
        kestane_linked_groups(${pkg} KESTANE_PACKAGE_GROUPS)
        list(REVERSE KESTANE_PACKAGE_GROUPS)
        kestane_library_group(${pkg} own_group)
        list(APPEND KESTANE_PACKAGE_GROUPS ${own_group})
        configure_package_config_file(
            "${PROJECT_SOURCE_DIR}/cmake/PackageConfig.cmake.in"
            "${PROJECT_BINARY_DIR}/${pkg}Config.cmake"
            INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/${pkg})
        write_basic_package_version_file("${PROJECT_BINARY_DIR}/${pkg}ConfigVersion.cmake"
            VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
        install(FILES "${PROJECT_BINARY_DIR}/${pkg}Config.cmake"
                      "${PROJECT_BINARY_DIR}/${pkg}ConfigVersion.cmake"
                DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/${pkg} COMPONENT ${own_group}-dev)
    endforeach()
    foreach(lib IN LISTS libs)
        set(KESTANE_PC_NAME ${lib})
        configure_file("${PROJECT_SOURCE_DIR}/cmake/library.pc.in"
                       "${PROJECT_BINARY_DIR}/pkgconfig/${lib}.pc" @ONLY)
        kestane_library_group(${lib} group)
        install(FILES "${PROJECT_BINARY_DIR}/pkgconfig/${lib}.pc"
                DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT ${group}-dev)
    endforeach()
endfunction()
