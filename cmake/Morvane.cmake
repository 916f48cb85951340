# morvane_library(<name> [DEPS <lib>...])
# A Qt-free static library made of every .cpp in the calling folder.
function(morvane_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# morvane_tests(<name> [LIBS <lib>...])
# One GoogleTest executable made of every .cpp in the calling folder; each test case
# is registered with CTest.
function(morvane_tests name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES TIMEOUT 1800)
endfunction()

# morvane_install_manpage(<page.1>)
# Installs a manual page into man1, compressed as distributions ship them (gzip -n keeps the
# bytes reproducible); uncompressed where gzip is missing.
find_program(MORVANE_GZIP gzip)
function(morvane_install_manpage page)
  include(GNUInstallDirs)
  if(MORVANE_GZIP)
    get_filename_component(name ${page} NAME)
    set(gz ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
    add_custom_command(OUTPUT ${gz}
                       COMMAND ${MORVANE_GZIP} -9nc ${CMAKE_CURRENT_SOURCE_DIR}/${page} > ${gz}
                       DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${page} VERBATIM)
    add_custom_target(manpage_${name} ALL DEPENDS ${gz})
    install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  else()
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endfunction()
