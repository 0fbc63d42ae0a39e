# SPDX-License-Identifier: GPL-3.0-or-later
# Zips the Windows programs that the MinGW builds have made: Karvelo-<version>-win32.zip from
# build/mingw32/bin and Karvelo-<version>-win64.zip from build/mingw64/bin, each holding
# karvelo.exe, multiconv.exe, a read-me and the licence side by side. A zip holds the programs
# that exist and this says which are missing; with neither program there is no zip.
#
#   cmake -DVERSION=1.0.0 -DMAKER=<copyright holder> -DYEARS=<copyright years>
#         -DSOURCE_DIR=<this folder> -DLICENSE=<LICENSE> -DBUILD_ROOT=<build>
#         -DOUTPUT_DIR=<packages> -P zips.cmake

include(${CMAKE_CURRENT_LIST_DIR}/programs.cmake)
get_filename_component(OUTPUT_DIR ${OUTPUT_DIR} ABSOLUTE)
foreach(arch win32 win64)
  if(arch STREQUAL win32)
    set(build ${BUILD_ROOT}/mingw32)
    set(WINDOWS 32-bit)
  else()
    set(build ${BUILD_ROOT}/mingw64)
    set(WINDOWS 64-bit)
  endif()
  set(name Karvelo-${VERSION}-${arch})
  set(zip ${OUTPUT_DIR}/${name}.zip)
  set(staging ${OUTPUT_DIR}/${name})
  file(REMOVE_RECURSE ${zip} ${staging})

  windows_programs(${build} found missing)

  if(NOT found)
    message(NOTICE "packages: ${name}.zip not made: no karvelo.exe or multiconv.exe in ${build}/bin")
    continue()
  endif()

  file(MAKE_DIRECTORY ${staging})
  file(COPY ${found} DESTINATION ${staging})
  string(REGEX REPLACE "." "=" UNDERLINE "Karvelo ${VERSION} for ${WINDOWS} Windows")
  configure_file(${SOURCE_DIR}/README.txt.in ${staging}/README.txt @ONLY NEWLINE_STYLE CRLF)
  write_licence(${LICENSE} ${staging})
  file(GLOB contents RELATIVE ${staging} ${staging}/*)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip -- ${contents}
    WORKING_DIRECTORY ${staging}
    COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${staging})
  if(missing)
    list(JOIN missing " and " missing)
    message(NOTICE "packages: ${name}.zip made WITHOUT ${missing}: not built in ${build}/bin")
  else()
    message(NOTICE "packages: ${name}.zip made")
  endif()
endforeach()
