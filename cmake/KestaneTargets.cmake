# Helpers shared by every module: one way to declare a library, a program and a test.

set(KESTANE_EXPORT_SET kestaneTargets)

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
    install(TARGETS ${name} EXPORT ${KESTANE_EXPORT_SET}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    if(EXISTS "${ARG_HEADERS_DIR}")
        install(DIRECTORY "${ARG_HEADERS_DIR}/" DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/kestane)
    endif()
    set_property(GLOBAL APPEND PROPERTY KESTANE_LIBRARIES ${name})
endfunction()

# kestane_program(NAME SOURCES ... [LIBS ...])
function(kestane_program name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS})
    install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
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
# and a pkg-config file for each installed library.
function(kestane_install_packages)
    get_property(libs GLOBAL PROPERTY KESTANE_LIBRARIES)
    if(NOT libs)
        return()
    endif()
    install(EXPORT ${KESTANE_EXPORT_SET} NAMESPACE kestane::
            DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/kestane)
    foreach(pkg IN ITEMS objectkit rookclient)
        if(NOT pkg IN_LIST libs)
            continue()
        endif()
        set(KESTANE_PACKAGE ${pkg})
        configure_package_config_file(
            "${PROJECT_SOURCE_DIR}/cmake/PackageConfig.cmake.in"
            "${PROJECT_BINARY_DIR}/${pkg}Config.cmake"
            INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/${pkg})
        write_basic_package_version_file("${PROJECT_BINARY_DIR}/${pkg}ConfigVersion.cmake"
            VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
        install(FILES "${PROJECT_BINARY_DIR}/${pkg}Config.cmake"
                      "${PROJECT_BINARY_DIR}/${pkg}ConfigVersion.cmake"
                DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/${pkg})
    endforeach()
    foreach(lib IN LISTS libs)
        set(KESTANE_PC_NAME ${lib})
        configure_file("${PROJECT_SOURCE_DIR}/cmake/library.pc.in"
                       "${PROJECT_BINARY_DIR}/pkgconfig/${lib}.pc" @ONLY)
        install(FILES "${PROJECT_BINARY_DIR}/pkgconfig/${lib}.pc"
                DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
    endforeach()
endfunction()
