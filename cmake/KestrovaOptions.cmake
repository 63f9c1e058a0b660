# Compiler settings shared by every target of the project.

include(KestrovaPrecompiledHeaders)

if(KESTROVA_SANITIZE)
  string(REPLACE "," ";" _kestrova_sanitizers "${KESTROVA_SANITIZE}")
  list(JOIN _kestrova_sanitizers "," _kestrova_sanitize_flag)
  add_compile_options(-fsanitize=${_kestrova_sanitize_flag} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=${_kestrova_sanitize_flag})
endif()

# lld links the large test programs several times faster than the default
# linker: used where it is installed and the compiler takes it.
option(KESTROVA_USE_LLD "Link with lld where it is installed" ON)
if(KESTROVA_USE_LLD AND NOT CMAKE_CROSSCOMPILING)
  include(CheckLinkerFlag)
  check_linker_flag(CXX "-fuse-ld=lld" KESTROVA_LLD_WORKS)
  if(KESTROVA_LLD_WORKS)
    add_link_options(-fuse-ld=lld)
  endif()
endif()

if(KESTROVA_BUILD_FUZZ AND NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "The fuzz targets need clang (libFuzzer): configure with -DCMAKE_CXX_COMPILER=clang++")
endif()

# The warning flags of our own code; third-party headers come in as system
# headers. Warnings stop the build only with KESTROVA_WERROR (CI and the test
# command): a user's or packager's build must not fail on a compiler's false
# alarm at an optimisation level we did not try.
set(KESTROVA_WARNING_FLAGS -Wall -Wextra -Wpedantic)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  # GCC 12 reports impossible overlaps inside std::string at -O3 (its bug
  # 105651); the warning says nothing about our code there.
  list(APPEND KESTROVA_WARNING_FLAGS -Wno-restrict)
endif()
if(KESTROVA_WERROR)
  list(APPEND KESTROVA_WARNING_FLAGS -Werror)
endif()

function(kestrova_target_defaults target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  target_compile_options(${target} PRIVATE ${KESTROVA_WARNING_FLAGS})
  kestrova_precompile_headers(${target})
endfunction()

# One library per folder under src/.
function(kestrova_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;PUBLIC_LINK;PRIVATE_LINK" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC "${PROJECT_SOURCE_DIR}/src")
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC_LINK} PRIVATE ${ARG_PRIVATE_LINK})
  kestrova_target_defaults(${name})
endfunction()

# A static Qt (the Windows build) has its plugins linked into the program
# that uses them: the platform plugins named here (Qt6::QWindowsIntegrationPlugin,
# Qt6::QOffscreenIntegrationPlugin, ...), and no others. A shared Qt loads
# them at run time and needs nothing.
function(kestrova_import_qt_plugins target)
  get_target_property(_kestrova_qt_type Qt6::Core TYPE)
  if(_kestrova_qt_type STREQUAL "STATIC_LIBRARY")
    qt_import_plugins(${target} INCLUDE ${ARGN} EXCLUDE_BY_TYPE imageformats)
  endif()
endfunction()
