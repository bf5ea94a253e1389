# Warnings as errors on our own code only (targets opt in).
function(rv_strict_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  if(RV_SANITIZE)
    # Sanitizer instrumentation makes GCC 12 report false maybe-uninitialized
    # warnings inside libstdc++ (std::function, std::regex).
    target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
  endif()
endfunction()
