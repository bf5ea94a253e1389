# Warnings as errors on our own code only (targets opt in).
function(rv_strict_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
