# Checks the built component bundle: the library exports exactly ZANIQ_Factory and ZANIQ_Entry, and Info.plist
# describes the component the host looks for.
#   cmake -DNM=nm -DLIB=<library> -DPLIST=<Info.plist> -DBUNDLE_ID=<id> -DRESOURCES=<folder> -P check_bundle.cmake

execute_process(COMMAND ${NM} -D --defined-only ${LIB} OUTPUT_VARIABLE symbols RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIB}")
endif()
string(REPLACE "\n" ";" lines "${symbols}")
set(exported "")
foreach(line IN LISTS lines)
  # "<address> <type> <name>"; version-node entries (type A) are not symbols of the library.
  if(line MATCHES "^[0-9a-fA-F]+ ([A-Za-z]) ([^ ]+)$" AND NOT CMAKE_MATCH_1 STREQUAL "A")
    list(APPEND exported ${CMAKE_MATCH_2})
  endif()
endforeach()
list(SORT exported)
if(NOT exported STREQUAL "ZANIQ_Entry;ZANIQ_Factory")
  message(FATAL_ERROR "exported symbols: '${exported}' (expected ZANIQ_Entry;ZANIQ_Factory)")
endif()

file(READ ${PLIST} plist)
foreach(expected
    "<key>CFBundleIdentifier</key>[ \t\r\n]*<string>${BUNDLE_ID}</string>"
    "<key>CFBundleExecutable</key>[ \t\r\n]*<string>ZANIQ</string>"
    "<key>type</key>[ \t\r\n]*<string>aufx</string>"
    "<key>subtype</key>[ \t\r\n]*<string>QN55</string>"
    "<key>manufacturer</key>[ \t\r\n]*<string>QNVX</string>"
    "<key>factoryFunction</key>[ \t\r\n]*<string>ZANIQ_Factory</string>")
  if(NOT plist MATCHES "${expected}")
    message(FATAL_ERROR "Info.plist lacks ${expected}")
  endif()
endforeach()

if(NOT IS_DIRECTORY ${RESOURCES})
  message(FATAL_ERROR "no Resources folder at ${RESOURCES}")
endif()

# The editor's resources: every bitmap of the artwork table at 1x and 2x, the three fonts and their licences.
if(ARTWORK_TABLE)
  file(STRINGS ${ARTWORK_TABLE} table_lines REGEX "^ *\\{\"[a-z0-9_]+\\.png\"")
  set(expected Roboto-Regular.ttf verdana.ttf verdanab.ttf LICENSE-Roboto.txt LICENSE-DejaVu.txt)
  foreach(line IN LISTS table_lines)
    string(REGEX REPLACE "^ *\\{\"([a-z0-9_]+)\\.png\".*" "\\1" stem "${line}")
    list(APPEND expected ${stem}.png ${stem}@2x.png)
  endforeach()
  foreach(file IN LISTS expected)
    if(NOT EXISTS ${RESOURCES}/${file})
      message(FATAL_ERROR "Resources lacks ${file}")
    endif()
    file(SIZE ${RESOURCES}/${file} size)
    if(size EQUAL 0)
      message(FATAL_ERROR "Resources holds an empty ${file}")
    endif()
  endforeach()
endif()
