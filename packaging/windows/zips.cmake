# Zips the Windows programs that the MinGW builds have made: Karvelo-<version>-win32.zip from
# build/mingw32/bin and Karvelo-<version>-win64.zip from build/mingw64/bin, each holding
# karvelo.exe, multiconv.exe and a read-me side by side. A zip holds the programs that exist and
# this says which are missing; with neither program there is no zip.
#
#   cmake -DVERSION=1.0.0 -DSOURCE_DIR=<this folder> -DBUILD_ROOT=<build> -DOUTPUT_DIR=<packages>
#         -P zips.cmake

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

  # The names keep the build's case (Karvelo.exe or karvelo.exe): Windows ignores it.
  file(GLOB built LIST_DIRECTORIES false ${build}/bin/*.exe)
  set(found "")
  set(missing "")
  foreach(program karvelo multiconv)
    set(match "")
    foreach(file ${built})
      get_filename_component(file_name ${file} NAME)
      string(TOLOWER ${file_name} file_name)
      if(file_name STREQUAL "${program}.exe")
        set(match ${file})
      endif()
    endforeach()
    if(match)
      list(APPEND found ${match})
    else()
      list(APPEND missing ${program}.exe)
    endif()
  endforeach()

  if(NOT found)
    message(NOTICE "packages: ${name}.zip not made: no karvelo.exe or multiconv.exe in ${build}/bin")
    continue()
  endif()

  file(MAKE_DIRECTORY ${staging})
  file(COPY ${found} DESTINATION ${staging})
  string(REGEX REPLACE "." "=" UNDERLINE "Karvelo ${VERSION} for ${WINDOWS} Windows")
  configure_file(${SOURCE_DIR}/README.txt.in ${staging}/README.txt @ONLY NEWLINE_STYLE CRLF)
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
