# Our own targets build with strict warnings; third-party headers come in as SYSTEM.
function(kalvist_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # GCC 12 reports standard-library copies as overlapping or out of bounds at -O2 and
    # above where they are not (GCC bugs 105329, 105651 and their kin).
    target_compile_options(${target} PRIVATE -Wno-restrict -Wno-array-bounds -Wno-stringop-overflow
                           -Wno-stringop-overread)
  endif()
endfunction()
