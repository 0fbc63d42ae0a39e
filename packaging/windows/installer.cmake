# SPDX-License-Identifier: GPL-3.0-or-later
# Builds Karvelo-<version>-setup.exe, the Windows installer, from the 32-bit programs that the
# mingw32 build has made: makensis packs installer.nsi with karvelo.exe, multiconv.exe and the
# licence. Without both programs there is no installer, and this says which is missing.
#
#   cmake -DVERSION=1.0.0 -DMAKER=<copyright holder> -DYEARS=<copyright years>
#         -DHOMEPAGE=<address> -DSOURCE_URL=<address> -DSOURCE_DIR=<this folder>
#         -DLICENSE=<LICENSE> -DICON=<app.ico> -DMAKENSIS=<makensis> -DBUILD_ROOT=<build>
#         -DOUTPUT_DIR=<packages> -P installer.cmake

include(${CMAKE_CURRENT_LIST_DIR}/programs.cmake)
get_filename_component(OUTPUT_DIR ${OUTPUT_DIR} ABSOLUTE)
set(build ${BUILD_ROOT}/mingw32)
set(name Karvelo-${VERSION}-setup)
set(installer ${OUTPUT_DIR}/${name}.exe)
set(staging ${OUTPUT_DIR}/${name})
file(REMOVE_RECURSE ${installer} ${staging})

windows_programs(${build} found missing)
if(missing)
  list(JOIN missing " and " missing)
  message(NOTICE "packages: ${name}.exe not made: no ${missing} in ${build}/bin")
  return()
endif()

# The installer names the files in lower case, as the Start menu and the uninstaller do.
file(MAKE_DIRECTORY ${staging})
foreach(program ${found})
  get_filename_component(file_name ${program} NAME)
  string(TOLOWER ${file_name} file_name)
  file(COPY_FILE ${program} ${staging}/${file_name})
endforeach()
write_licence(${LICENSE} ${staging})

execute_process(
  COMMAND ${MAKENSIS} -V2 -NOCD -DVERSION=${VERSION} -DMAKER=${MAKER} -DYEARS=${YEARS}
          -DHOMEPAGE=${HOMEPAGE} -DSOURCE_URL=${SOURCE_URL} -DSTAGING=${staging} -DICON=${ICON}
          -DOUTFILE=${installer} ${SOURCE_DIR}/installer.nsi
  COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE_RECURSE ${staging})
message(NOTICE "packages: ${name}.exe made")
