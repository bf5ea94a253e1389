# cmake -DEXPORT_LISTS="a.txt|b.txt" -DOUT=lib.map -P VersionScript.cmake
# Writes a linker version script that makes the listed names global and every
# other symbol local.
include(${CMAKE_CURRENT_LIST_DIR}/ExportLists.cmake)
rv_read_export_lists(names "${EXPORT_LISTS}")
set(text "{\n  global:\n")
foreach(name IN LISTS names)
  string(APPEND text "    ${name};\n")
endforeach()
string(APPEND text "  local: *;\n};\n")
file(WRITE ${OUT} "${text}")
