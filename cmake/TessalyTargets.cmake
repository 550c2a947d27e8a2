# Helpers shared by every folder: compiler settings, GoogleTest, program and test targets.

set(TESSALY_STAGE_DIR ${CMAKE_BINARY_DIR}/stage CACHE INTERNAL "staged program folder")

function(tessaly_windows_defaults)
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  # Static runtime: every .exe depends on Windows system DLLs only.
  add_link_options(-static -static-libgcc -static-libstdc++)
endfunction()

# Warnings of the project's own code, errors unless TESSALY_WERROR is off (a newer compiler may
# warn about code that was clean). Called after the third-party sources are added, which keep
# their own flags (GoogleTest builds with -w).
option(TESSALY_WERROR "Treat warnings in the project's own code as errors" ON)
function(tessaly_project_warnings)
  add_compile_options(-Wall -Wextra)
  if(TESSALY_WERROR)
    add_compile_options(-Werror)
  endif()
endfunction()

# AddressSanitizer with LeakSanitizer over everything the host build compiles (GoogleTest too, so
# containers agree on their annotations): an out-of-bounds access or a leak in the analysis fails
# the host tests. Off for benchmarks and the fuzzing build, which instruments on its own.
option(TESSALY_SANITIZE "Build the host tests with AddressSanitizer and LeakSanitizer" OFF)
function(tessaly_host_sanitizers)
  if(TESSALY_SANITIZE AND NOT WIN32)
    add_compile_options(-fsanitize=address -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address)
  endif()
endfunction()

# GoogleTest from Debian's sources, built with whatever toolchain this build uses.
function(tessaly_add_gtest)
  if(TARGET gtest)
    return()
  endif()
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(t gtest gtest_main gmock gmock_main)
    if(TARGET ${t})
      target_compile_options(${t} PRIVATE -w)
    endif()
  endforeach()
endfunction()

# The suite's pictures and application icon, drawn at build time by resources/pictures/make_pictures.py
# into the build tree. Resources inside a static library never reach an executable, so every
# program and test compiles pictures.rc itself (tessaly_program_resources).
set(TESSALY_PICTURES_DIR ${CMAKE_BINARY_DIR}/pictures CACHE INTERNAL "generated pictures")

function(tessaly_pictures_target)
  if(TARGET tessaly_pictures)
    return()
  endif()
  set(src ${PROJECT_SOURCE_DIR}/resources/pictures)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${src}/pictures.rc)
  file(STRINGS ${src}/pictures.rc entries REGEX "^[0-9]+ +(ICON|BITMAP) +\"")
  set(outputs "")
  foreach(entry ${entries})
    string(REGEX REPLACE "^.*\"([^\"]+)\".*$" "\\1" name "${entry}")
    list(APPEND outputs ${TESSALY_PICTURES_DIR}/${name})
  endforeach()
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_custom_command(OUTPUT ${outputs}
    COMMAND Python3::Interpreter ${src}/make_pictures.py ${src}/pictures.rc ${TESSALY_PICTURES_DIR}
    DEPENDS ${src}/make_pictures.py ${src}/pictures.rc
    COMMENT "Drawing the pictures and the application icon"
    VERBATIM)
  add_custom_target(tessaly_pictures DEPENDS ${outputs})
  set_property(GLOBAL PROPERTY TESSALY_PICTURE_FILES "${outputs}")
endfunction()

function(tessaly_add_pictures target)
  tessaly_pictures_target()
  set(rc ${PROJECT_SOURCE_DIR}/resources/pictures/pictures.rc)
  get_property(files GLOBAL PROPERTY TESSALY_PICTURE_FILES)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} TARGET_DIRECTORY ${target} PROPERTIES OBJECT_DEPENDS "${files}")
  target_include_directories(${target} PRIVATE $<$<COMPILE_LANGUAGE:RC>:${TESSALY_PICTURES_DIR}>)
  add_dependencies(${target} tessaly_pictures)
endfunction()

# The version every program carries comes from one place, the project's VERSION (four numbers).
# "2021.2.0.25" becomes the resource's "2021,2,0,25".
function(tessaly_version_commas version out)
  string(REPLACE "." "," commas "${version}")
  set(${out} "${commas}" PARENT_SCOPE)
endfunction()

# Version resource and manifest alone, of the project's version or of the VERSION given.
function(tessaly_version_resource target)
  cmake_parse_arguments(P "" "FILE_NAME;DESCRIPTION;LEVEL;VERSION" "" ${ARGN})
  if(NOT P_LEVEL)
    set(P_LEVEL asInvoker)
  endif()
  if(NOT P_VERSION)
    set(P_VERSION ${PROJECT_VERSION})
  endif()
  set(TESSALY_FILE_NAME ${P_FILE_NAME})
  set(TESSALY_DESCRIPTION ${P_DESCRIPTION})
  set(TESSALY_EXECUTION_LEVEL ${P_LEVEL})
  set(TESSALY_VERSION ${P_VERSION})
  tessaly_version_commas(${P_VERSION} TESSALY_VERSION_COMMAS)
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_res)
  configure_file(${PROJECT_SOURCE_DIR}/resources/app.manifest.in ${out}/app.manifest @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/resources/version.rc.in ${out}/version.rc @ONLY)
  target_sources(${target} PRIVATE ${out}/version.rc)
  target_include_directories(${target} PRIVATE ${out} ${PROJECT_SOURCE_DIR}/resources)
  # What a copy of the program with another version needs to make the same resource.
  set_target_properties(${target} PROPERTIES TESSALY_FILE_NAME ${P_FILE_NAME}
    TESSALY_DESCRIPTION "${P_DESCRIPTION}" TESSALY_EXECUTION_LEVEL ${P_LEVEL})
endfunction()

# Version resource, manifest and pictures for a Windows program.
#   tessaly_program_resources(target FILE_NAME name.exe DESCRIPTION "text" LEVEL asInvoker|requireAdministrator
#                             [RC extra.rc...])
function(tessaly_program_resources target)
  cmake_parse_arguments(P "" "FILE_NAME;DESCRIPTION;LEVEL" "RC" ${ARGN})
  tessaly_version_resource(${target} FILE_NAME ${P_FILE_NAME} DESCRIPTION "${P_DESCRIPTION}" LEVEL ${P_LEVEL})
  target_sources(${target} PRIVATE ${P_RC})
  tessaly_add_pictures(${target})
endfunction()

# A Windows GUI program copied into the staged program folder.
function(tessaly_program target)
  cmake_parse_arguments(P "CONSOLE" "FILE_NAME;DESCRIPTION;LEVEL" "SOURCES;LIBS;RC" ${ARGN})
  add_executable(${target} ${P_SOURCES})
  if(NOT P_CONSOLE)
    set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
  endif()
  # Programs enter through wWinMain/wmain.
  target_link_options(${target} PRIVATE -municode)
  get_filename_component(base ${P_FILE_NAME} NAME_WE)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${base}
    RUNTIME_OUTPUT_DIRECTORY ${TESSALY_STAGE_DIR})
  target_link_libraries(${target} PRIVATE ${P_LIBS})
  tessaly_program_resources(${target} FILE_NAME ${P_FILE_NAME} DESCRIPTION "${P_DESCRIPTION}"
    LEVEL ${P_LEVEL} RC ${P_RC})
endfunction()

# The program linked once more from its own objects with a version resource of another VERSION,
# into DIRECTORY: an update to install needs no second build. The copy is stripped.
#   tessaly_program_with_version(target copy VERSION 2021.2.0.26 DIRECTORY dir)
function(tessaly_program_with_version target copy)
  cmake_parse_arguments(P "" "VERSION;DIRECTORY" "" ${ARGN})
  add_executable(${copy} $<FILTER:$<TARGET_OBJECTS:${target}>,EXCLUDE,/version\.rc\.[^/]*$>)
  foreach(property OUTPUT_NAME WIN32_EXECUTABLE LINK_LIBRARIES LINK_OPTIONS)
    get_target_property(value ${target} ${property})
    if(value)
      set_property(TARGET ${copy} PROPERTY ${property} "${value}")
    endif()
  endforeach()
  set_target_properties(${copy} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${P_DIRECTORY})
  target_link_options(${copy} PRIVATE -s)
  get_target_property(file_name ${target} TESSALY_FILE_NAME)
  get_target_property(description ${target} TESSALY_DESCRIPTION)
  get_target_property(level ${target} TESSALY_EXECUTION_LEVEL)
  tessaly_version_resource(${copy} FILE_NAME ${file_name} DESCRIPTION "${description}" LEVEL ${level}
    VERSION ${P_VERSION})
endfunction()

# A GoogleTest executable run by CTest (under Wine in the Windows build).
# Test executables of the Windows build live in testbin/, beside stage/, so a test finds the staged
# program folder as ..\stage\ from its own folder.
# SHARDS n registers n CTest tests, each running every n-th test case, so `ctest -j` spreads a
# long host test program over the cores.
#   tessaly_test(name SOURCES ... LIBS ... [OWN_MAIN] [TIMEOUT s] [SHARDS n] [LABELS ...])
function(tessaly_test name)
  cmake_parse_arguments(T "OWN_MAIN" "TIMEOUT;SHARDS" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/testbin)
  if(T_OWN_MAIN)
    target_link_libraries(${name} PRIVATE ${T_LIBS} gmock gtest)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} gmock gtest_main)
  endif()
  if(WIN32)
    tessaly_program_resources(${name} FILE_NAME ${name}.exe DESCRIPTION "Tessaly tests" LEVEL asInvoker)
  endif()
  # The version text the programs report: major, minor and the last of the four numbers.
  target_compile_definitions(${name} PRIVATE
    TESSALY_VERSION_TEXT=L"${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_TWEAK}")
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(NOT T_SHARDS)
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
    return()
  endif()
  math(EXPR last "${T_SHARDS} - 1")
  foreach(shard RANGE ${last})
    add_test(NAME ${name}_${shard} COMMAND ${name} --gtest_brief=1)
    set_tests_properties(${name}_${shard} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}"
      ENVIRONMENT "GTEST_TOTAL_SHARDS=${T_SHARDS};GTEST_SHARD_INDEX=${shard}")
  endforeach()
endfunction()
