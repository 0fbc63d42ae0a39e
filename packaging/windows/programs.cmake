# SPDX-License-Identifier: GPL-3.0-or-later
# What the Windows packages share: finding the programs that a MinGW build has made, and the
# licence as Windows users read it.

# windows_programs(BUILD FOUND MISSING): FOUND lists the paths of karvelo.exe and multiconv.exe
# in BUILD/bin, MISSING the names of those not built. The names keep the build's case
# (Karvelo.exe or karvelo.exe): Windows ignores it.
function(windows_programs build found_var missing_var)
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
  set(${found_var} ${found} PARENT_SCOPE)
  set(${missing_var} ${missing} PARENT_SCOPE)
endfunction()

# write_licence(LICENSE FOLDER): the licence as FOLDER/LICENSE.txt, with the line ends that every
# Windows editor shows (Notepad before Windows 10 shows a lone line feed as nothing).
function(write_licence licence folder)
  file(READ ${licence} text)
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE ${folder}/LICENSE.txt "${text}")
endfunction()
