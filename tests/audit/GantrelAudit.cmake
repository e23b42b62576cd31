# Audit of the hook library of this build (i686 or x86_64), with the build's own binutils:
# exact exports and imports, allowed sections, the size bound. Added once per build, from
# whichever test directory the build configures.
function(gantrel_audit_tests)
  get_property(added GLOBAL PROPERTY GANTREL_AUDIT_ADDED)
  if(added OR NOT TARGET gantrel)
    return()
  endif()
  set_property(GLOBAL PROPERTY GANTREL_AUDIT_ADDED TRUE)
  set(audit ${CMAKE_SOURCE_DIR}/tests/audit/gantrel-audit.sh ${CMAKE_OBJDUMP} ${CMAKE_STRIP})
  add_test(NAME audit.gantrel_exports COMMAND ${audit} exports $<TARGET_FILE:gantrel>
    _beginHook@8 _endHook@0 _appendHookWnd@8 _removeHookWnd@4 _getVersion@0)
  # The hook functions, posting, focus and ancestor look-up, the lock, heap memory for the
  # window list: nothing else.
  add_test(NAME audit.gantrel_imports COMMAND ${audit} imports $<TARGET_FILE:gantrel>
    kernel32.dll!AcquireSRWLockExclusive kernel32.dll!ReleaseSRWLockExclusive
    kernel32.dll!AcquireSRWLockShared kernel32.dll!ReleaseSRWLockShared
    kernel32.dll!GetProcessHeap kernel32.dll!HeapAlloc kernel32.dll!HeapReAlloc kernel32.dll!HeapFree
    kernel32.dll!GetCurrentThreadId kernel32.dll!GetCurrentProcessId kernel32.dll!OpenThread
    kernel32.dll!WaitForSingleObject kernel32.dll!CloseHandle
    user32.dll!SetWindowsHookExA user32.dll!UnhookWindowsHookEx user32.dll!CallNextHookEx
    user32.dll!PostMessageA user32.dll!GetFocus user32.dll!GetAncestor
    user32.dll!GetWindowThreadProcessId)
  # No .tls, .CRT (start-up callbacks) or .eh_frame; x86_64 must keep its unwind tables.
  set(sections .text .data .rdata .bss .edata .idata .rsrc .reloc)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    list(APPEND sections +.pdata +.xdata)
  endif()
  add_test(NAME audit.gantrel_sections COMMAND ${audit} sections $<TARGET_FILE:gantrel> ${sections})
  # A stripped Release file has no symbols: the static-constructor check reads its copy.
  if(CMAKE_BUILD_TYPE STREQUAL "Release")
    set_tests_properties(audit.gantrel_sections PROPERTIES
      ENVIRONMENT "GANTREL_SYMBOLS=${CMAKE_BINARY_DIR}/unstripped/gantrel.dll")
  endif()
  add_test(NAME audit.gantrel_size COMMAND ${audit} size $<TARGET_FILE:gantrel> 16384)

  # Libraries built as gantrel.dll is, which the sections check must refuse: one with a static
  # constructor and, on x86_64, the same without unwind tables.
  set(probes static_constructor)
  set(expected_static_constructor "has static constructors")
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    list(APPEND probes no_unwind_tables)
    set(expected_no_unwind_tables "lacks sections: .pdata .xdata")
  endif()
  foreach(kind ${probes})
    add_library(gantrel_probe_${kind} SHARED ${CMAKE_SOURCE_DIR}/tests/audit/StaticConstructor.cpp)
    corvane_freestanding(gantrel_probe_${kind})
    if(kind STREQUAL "no_unwind_tables")
      target_compile_options(gantrel_probe_${kind} PRIVATE -fno-asynchronous-unwind-tables -fno-unwind-tables)
    endif()
    add_test(NAME audit.gantrel_sections_fails_on_${kind}
      COMMAND ${audit} sections $<TARGET_FILE:gantrel_probe_${kind}> ${sections})
    set_tests_properties(audit.gantrel_sections_fails_on_${kind}
      PROPERTIES PASS_REGULAR_EXPRESSION "${expected_${kind}}")
  endforeach()

  # The same checks see the faults in the plug-in, which has the runtimes' start-up, TLS and
  # imports, so that they are known to be able to fail.
  if(TARGET corvane)
    foreach(check "imports;imports differ" "sections;has a .tls section" "size;not under 16384")
      list(GET check 0 mode)
      list(GET check 1 expected)
      set(args ${mode} $<TARGET_FILE:corvane>)
      if(mode STREQUAL "imports")
        list(APPEND args kernel32.dll!HeapAlloc)
      elseif(mode STREQUAL "sections")
        list(APPEND args ${sections})
      else()
        list(APPEND args 16384)
      endif()
      add_test(NAME audit.gantrel_${mode}_fails_on_the_plugin COMMAND ${audit} ${args})
      set_tests_properties(audit.gantrel_${mode}_fails_on_the_plugin
        PROPERTIES PASS_REGULAR_EXPRESSION "${expected}")
    endforeach()
  endif()
endfunction()
