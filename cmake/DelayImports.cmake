# lumbrik_delay_import(NAME) makes lumbrik::delayed_NAME: an import library for
# the system's NAME.dll whose functions bind on first call, not at start, so that
# the DLL is looked for after the program has confined the search to System32.
# It is made from MinGW's own import library for NAME, so it names every export.
function(lumbrik_delay_import name)
  find_library(import_${name} NAMES lib${name}.a REQUIRED)
  set(def ${CMAKE_BINARY_DIR}/delay-imports/${name}.def)
  set(lib ${CMAKE_BINARY_DIR}/delay-imports/lib${name}_delayed.a)
  string(REGEX REPLACE "g\\+\\+(-posix)?$" "" prefix ${CMAKE_CXX_COMPILER})
  execute_process(COMMAND ${prefix}nm ${import_${name}} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
  string(REGEX MATCHALL " I __imp__?[^\n]+" exports "${symbols}")
  list(TRANSFORM exports REPLACE " I __imp_" "")
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL i686)
    list(TRANSFORM exports REPLACE "^_" "") # stdcall: _Name@N
  endif()
  list(REMOVE_DUPLICATES exports)
  list(SORT exports)
  list(JOIN exports "\n" lines)
  file(WRITE ${def} "LIBRARY ${name}.dll\nEXPORTS\n${lines}\n")
  execute_process(COMMAND ${prefix}dlltool --kill-at --input-def ${def} --dllname ${name}.dll
                          --output-delaylib ${lib} COMMAND_ERROR_IS_FATAL ANY)
  add_library(lumbrik::delayed_${name} STATIC IMPORTED GLOBAL)
  set_target_properties(lumbrik::delayed_${name} PROPERTIES IMPORTED_LOCATION ${lib})
endfunction()
