# Warnings on and fatal, for every target of the project's own.
function(liaison_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX /utf-8)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
      # GCC 12 reports false overlaps in inlined std::string appends at -O3.
      target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
  endif()
endfunction()
