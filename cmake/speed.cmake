# What keeps the build quick on a small machine: ccache where it is installed
# (never required), moc only for the targets whose classes need it, and
# precompiled headers for Qt and GoogleTest, each built once for its kind of
# target and reused by every target of that kind (LIMRA_PCH=OFF: none). A
# precompiled header is used only where the macros it saw are defined alike,
# so each is built with the fewest Qt modules its kind links (-Winvalid-pch
# tells when one is not used). Each target's sources are compiled in batches
# (LIMRA_UNITY_BATCH files to one compiler call; LIMRA_UNITY=OFF: one each), so
# what their headers instantiate is compiled once a batch rather than once a
# file.

find_program(LIMRA_CCACHE ccache)
if(LIMRA_CCACHE AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
  set(CMAKE_C_COMPILER_LAUNCHER ${LIMRA_CCACHE})
  set(CMAKE_CXX_COMPILER_LAUNCHER ${LIMRA_CCACHE})
endif()

option(LIMRA_UNITY "Compile each target's sources in batches" ON)
set(LIMRA_UNITY_BATCH 16 CACHE STRING "Source files in one batch")
if(LIMRA_UNITY)
  set(CMAKE_UNITY_BUILD ON)
  set(CMAKE_UNITY_BUILD_BATCH_SIZE ${LIMRA_UNITY_BATCH})
  # A batch's file includes its sources, and GCC then takes a class derived
  # from one in a source's anonymous namespace (every test fixture) for a
  # header's.
  add_compile_options($<$<COMPILE_LANG_AND_ID:CXX,GNU>:-Wno-subobject-linkage>)
endif()

# limra_moc(target...): the targets with Q_OBJECT classes.
function(limra_moc)
  set_target_properties(${ARGN} PROPERTIES AUTOMOC ON)
endfunction()

option(LIMRA_PCH "Precompiled headers for Qt and GoogleTest" ON)

# limra_use_pch(target kind): kind is lib_core, lib_widgets (libraries), or
# tests, tests_widgets (test programs; their header also brings the test
# printers, tests/support/printers.h, which every test file gets).
function(limra_use_pch target kind)
  if(NOT LIMRA_PCH)
    if(kind MATCHES "^tests")
      target_compile_options(${target} PRIVATE -include ${PROJECT_SOURCE_DIR}/tests/support/printers.h)
    endif()
    return()
  endif()
  set(owner limra_pch_${kind})
  if(NOT TARGET ${owner})
    set(dir ${PROJECT_SOURCE_DIR}/cmake/pch)
    if(kind STREQUAL "lib_core")
      add_library(${owner} STATIC ${dir}/anchor.cpp)
      target_link_libraries(${owner} PRIVATE Qt6::Core)
      target_precompile_headers(${owner} PRIVATE ${dir}/qt_core.h)
    elseif(kind STREQUAL "lib_widgets")
      add_library(${owner} STATIC ${dir}/anchor.cpp)
      target_link_libraries(${owner} PRIVATE Qt6::Widgets)
      target_precompile_headers(${owner} PRIVATE ${dir}/qt_widgets.h)
    elseif(kind STREQUAL "tests")
      add_executable(${owner} ${dir}/anchor_main.cpp)
      target_link_libraries(${owner} PRIVATE GTest::gtest Qt6::Gui Qt6::Test)
      target_precompile_headers(${owner} PRIVATE ${dir}/tests.h)
    elseif(kind STREQUAL "tests_widgets")
      add_executable(${owner} ${dir}/anchor_main.cpp)
      target_link_libraries(${owner} PRIVATE GTest::gtest Qt6::Widgets Qt6::Test)
      target_precompile_headers(${owner} PRIVATE ${dir}/tests_widgets.h)
    else()
      message(FATAL_ERROR "limra_use_pch: no kind ${kind}")
    endif()
    target_include_directories(${owner} PRIVATE ${PROJECT_SOURCE_DIR})
    if(kind MATCHES "^tests")
      target_compile_options(${owner} PRIVATE -O1 -g0)
    endif()
  endif()
  target_precompile_headers(${target} REUSE_FROM ${owner})
endfunction()
