# SPDX-License-Identifier: GPL-3.0-or-later
# karvelo_library(NAME SOURCES ... [DEPS ...]): a static library of the project, with the project's
# warnings and its folder's parent (src/) on the include path, so that headers are included as
# "forms/ListBox.h".
function(karvelo_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE karvelo_warnings)
endfunction()
