# Shared build helpers.

# Warnings for the project's own code; dependency headers come in as SYSTEM. They stop the build only when
# ZANIQ_WERROR asks for it (the project's scripts and CI do): a user's build with another compiler still builds.
function(zaniq_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(ZANIQ_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# One static library per source folder: every .cpp in the folder (not recursive unless SUBDIRS given).
#   zaniq_folder_library(NAME framework DEPS graphics sdk [SUBDIRS a b] [EXCLUDE file.cpp ...])
# EXCLUDE leaves sources of the folder to a library of their own.
function(zaniq_folder_library)
  cmake_parse_arguments(ARG "" "NAME" "DEPS;SUBDIRS;SYSTEM_INCLUDES;EXCLUDE" ${ARGN})
  set(globs ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(sub ${ARG_SUBDIRS})
    list(APPEND globs ${CMAKE_CURRENT_SOURCE_DIR}/${sub}/*.cpp)
  endforeach()
  file(GLOB sources CONFIGURE_DEPENDS ${globs})
  foreach(excluded ${ARG_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  if(NOT sources)
    # A folder without sources yet is header-only.
    add_library(${ARG_NAME} INTERFACE)
    target_include_directories(${ARG_NAME} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${ARG_NAME} INTERFACE ${ARG_DEPS})
    return()
  endif()
  add_library(${ARG_NAME} STATIC ${sources})
  target_include_directories(${ARG_NAME} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${ARG_NAME} PUBLIC ${ARG_DEPS})
  if(ARG_SYSTEM_INCLUDES)
    target_include_directories(${ARG_NAME} SYSTEM PUBLIC ${ARG_SYSTEM_INCLUDES})
  endif()
  zaniq_warnings(${ARG_NAME})
endfunction()

# Test executables for one folder of tests/: *_test.cpp build one binary; *_concurrent_test.cpp another,
# labelled "concurrent" so CI runs it under ThreadSanitizer.
function(zaniq_folder_tests)
  cmake_parse_arguments(ARG "" "NAME" "DEPS" ${ARGN})
  file(GLOB all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  file(GLOB conc CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_concurrent_test.cpp)
  file(GLOB support CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/support/*.cpp)
  list(REMOVE_ITEM all ${conc} "")
  if(all)
    add_executable(${ARG_NAME}_tests ${all} ${support})
    target_link_libraries(${ARG_NAME}_tests PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
    target_include_directories(${ARG_NAME}_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_compile_definitions(${ARG_NAME}_tests PRIVATE ZANIQ_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
    zaniq_warnings(${ARG_NAME}_tests)
    gtest_discover_tests(${ARG_NAME}_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
      PROPERTIES LABELS ${ARG_NAME})
  endif()
  if(conc)
    add_executable(${ARG_NAME}_concurrent_tests ${conc} ${support})
    target_link_libraries(${ARG_NAME}_concurrent_tests PRIVATE ${ARG_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
    target_include_directories(${ARG_NAME}_concurrent_tests PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_compile_definitions(${ARG_NAME}_concurrent_tests PRIVATE ZANIQ_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data")
    zaniq_warnings(${ARG_NAME}_concurrent_tests)
    gtest_discover_tests(${ARG_NAME}_concurrent_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
      PROPERTIES LABELS "concurrent;${ARG_NAME}")
  endif()
endfunction()

# The link of a bundle's executable: it exports <name>_Factory and <name>_Entry and nothing else, and every other
# symbol resolves inside it. Hidden visibility alone is not enough: the static libraries inside were built with
# default visibility, and the standard library's templates keep theirs wherever they are not inlined (clang at
# -O0), so the version script names the two.
function(zaniq_bundle_link target name)
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${name}.exports.map)
  file(CONFIGURE OUTPUT ${script}
       CONTENT "{\n  global:\n    ${name}_Factory;\n    ${name}_Entry;\n  local:\n    *;\n};\n")
  set_target_properties(${target} PROPERTIES
    CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON LINK_DEPENDS ${script})
  target_link_options(${target} PRIVATE -Wl,--version-script=${script} -Wl,--exclude-libs,ALL)
  if(NOT ZANIQ_SANITIZE)
    # So that the host's dlopen cannot fail on a missing symbol (sanitizer runtimes resolve late).
    target_link_options(${target} PRIVATE -Wl,--no-undefined)
  endif()
endfunction()
