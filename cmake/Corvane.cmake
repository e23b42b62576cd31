# Shared build settings of the three builds (native, win32, win64).

set(CORVANE_BIN_DIR ${CMAKE_BINARY_DIR}/bin)

add_library(corvane_flags INTERFACE)
target_compile_options(corvane_flags INTERFACE
  -Wall -Wextra -Werror -Wshadow -Wno-missing-field-initializers
  # Every string literal becomes Shift-JIS bytes, as the ANSI Win32 calls and the host need.
  # clang cannot convert; only the fuzz build uses it, where literal texts do not matter.
  $<$<CXX_COMPILER_ID:GNU>:-fexec-charset=CP932>)

option(CORVANE_SANITIZE "Build the native core and tests with ASan and UBSan" OFF)
if(CORVANE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
  target_compile_definitions(corvane_flags INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
  # Only Windows system DLLs at run time: no MinGW runtime DLL beside the plug-in.
  add_link_options(-static -static-libgcc -static-libstdc++)
  set(CORVANE_I686 $<STREQUAL:${CMAKE_SYSTEM_PROCESSOR},i686>)
endif()

# Writes a module definition file from an X-macro list header. Each line of the header that
# reads MACRO(name, bytes) becomes one export; PREFIX goes before the exported name, and the
# i686 build maps it to the stdcall-decorated symbol, x86_64 to the plain one.
#   EXPORT_DECORATED: the export name itself carries "@bytes" (as the hook library's do).
#   EXCLUDE names: leave these out (test programs that play an incomplete module).
function(corvane_write_def out header macro prefix)
  cmake_parse_arguments(ARG "EXPORT_DECORATED" "LIBRARY" "EXCLUDE" ${ARGN})
  file(STRINGS ${header} lines REGEX "^[ \t]*${macro}\\(")
  set(text "")
  if(ARG_LIBRARY)
    string(APPEND text "LIBRARY ${ARG_LIBRARY}\n")
  endif()
  string(APPEND text "EXPORTS\n")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*${macro}\\(([A-Za-z0-9_]+), *([0-9]+).*$" "\\1;\\2" pair "${line}")
    list(GET pair 0 name)
    list(GET pair 1 bytes)
    if(name IN_LIST ARG_EXCLUDE)
      continue()
    endif()
    set(exported "${prefix}${name}")
    if(ARG_EXPORT_DECORATED)
      set(exported "${exported}@${bytes}")
    endif()
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
      string(APPEND text "    ${exported} = ${name}@${bytes}\n")
    elseif(exported STREQUAL name)
      string(APPEND text "    ${exported}\n")
    else()
      string(APPEND text "    ${exported} = ${name}\n")
    endif()
  endforeach()
  file(WRITE ${out}.tmp "${text}")
  configure_file(${out}.tmp ${out} COPYONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${header})
endfunction()

# Each subsystem lists its sources here: platform-free ones go into every build,
# Win32 glue only into the Windows builds.
function(corvane_core_sources)
  target_sources(corvane_core PRIVATE ${ARGN})
endfunction()

function(corvane_win_sources)
  if(WIN32)
    target_sources(corvane_win PRIVATE ${ARGN})
  endif()
endfunction()

# The optimised DLLs are stripped as soon as they are linked: the files the tests run are the
# very bytes the release package ships. An unstripped copy in unstripped/ keeps the symbols
# that the hook library's audit reads.
function(corvane_strip_release module)
  if(WIN32 AND CMAKE_BUILD_TYPE STREQUAL "Release")
    add_custom_command(TARGET ${module} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${module}>
        ${CMAKE_BINARY_DIR}/unstripped/$<TARGET_FILE_NAME:${module}>
      COMMAND ${CMAKE_STRIP} --strip-all $<TARGET_FILE:${module}>)
  endif()
endfunction()
