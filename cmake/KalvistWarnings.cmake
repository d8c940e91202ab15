# Our own targets build with strict warnings; third-party headers come in as SYSTEM.
function(kalvist_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wshadow -Wnon-virtual-dtor)
endfunction()
