# Warnings on and treated as errors for the project's own targets (not GoogleTest's).
function(zentrak_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Werror)
endfunction()
