# Warnings for every target of the project: tarvix_warnings(<target>).
function(tarvix_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow)
  if(TARVIX_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
