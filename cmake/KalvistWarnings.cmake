# Our own targets build with strict warnings; third-party headers come in as SYSTEM.
function(kalvist_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # GCC 12 reports std::string copies as overlapping at -O2 and above (GCC bug 105329).
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()
