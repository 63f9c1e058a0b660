# Precompiled headers: the Qt and GoogleTest headers take most of the
# compile time of a source file that includes them, so each target that
# reaches Qt or GoogleTest and has a few sources parses them once, into its
# own precompiled header. Every target set up through
# kestrova_target_defaults gets this; nothing needs listing here.

# Clang only by default: GCC 12 loses the system-header status of what comes
# from a precompiled header, and at -O3 then reports its own false
# -Wstringop-overflow inside std::string (in tests that append to a string
# literal), which -Werror turns into a failed build.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  set(_kestrova_pch_default ON)
else()
  set(_kestrova_pch_default OFF)
endif()
option(KESTROVA_PRECOMPILE_HEADERS "Precompile the Qt and GoogleTest headers of larger targets"
       ${_kestrova_pch_default})

# Below this many sources the precompiled header costs more than it saves.
set(KESTROVA_PCH_MIN_SOURCES 3)

# What each library brings in, most used first.
set(KESTROVA_PCH_Qt6::Core <QObject> <QString> <QTimer>)
set(KESTROVA_PCH_Qt6::Gui <QColor> <QFont> <QImage> <QPainter>)
set(KESTROVA_PCH_Qt6::Widgets
  <QApplication> <QCheckBox> <QComboBox> <QDialog> <QLabel> <QLineEdit> <QPushButton> <QScrollBar>
  <QWidget>)
set(KESTROVA_PCH_Qt6::Test <QTest>)
set(KESTROVA_PCH_GTest::gtest <gtest/gtest.h>)
set(KESTROVA_PCH_GTest::gmock <gmock/gmock.h>)
set(KESTROVA_PCH_LIBRARIES Qt6::Core Qt6::Gui Qt6::Widgets Qt6::Test GTest::gtest GTest::gmock)

# Sets `out` to every target and library that `target` links, directly or
# through the targets it links.
function(_kestrova_reachable_links target out)
  set(pending ${target})
  set(seen "")
  while(pending)
    list(POP_FRONT pending current)
    if(current IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${current})
    if(NOT TARGET ${current})
      continue()
    endif()
    get_target_property(aliased ${current} ALIASED_TARGET)
    if(aliased)
      list(APPEND pending ${aliased})
      continue()
    endif()
    get_target_property(imported ${current} IMPORTED)
    if(imported)
      get_target_property(links ${current} INTERFACE_LINK_LIBRARIES)
    else()
      get_target_property(links ${current} LINK_LIBRARIES)
    endif()
    if(links)
      list(APPEND pending ${links})
    endif()
  endwhile()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

function(kestrova_precompile_headers target)
  if(NOT KESTROVA_PRECOMPILE_HEADERS)
    return()
  endif()
  # A target compiled as one file parses the headers once anyway.
  get_target_property(unity ${target} UNITY_BUILD)
  if(unity)
    return()
  endif()
  get_target_property(sources ${target} SOURCES)
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  list(LENGTH sources count)
  if(count LESS KESTROVA_PCH_MIN_SOURCES)
    return()
  endif()
  _kestrova_reachable_links(${target} links)
  set(headers "")
  foreach(library IN LISTS KESTROVA_PCH_LIBRARIES)
    if(library IN_LIST links)
      list(APPEND headers ${KESTROVA_PCH_${library}})
    endif()
  endforeach()
  if(headers)
    target_precompile_headers(${target} PRIVATE ${headers})
  endif()
endfunction()
