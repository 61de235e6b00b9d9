# Warnings are errors in the project's own code only; third-party headers come
# in as system includes and do not trip them.
function(zelkscript_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
