# Project-wide warning flags, applied per target with z64_set_warnings(<target>).
function(z64_set_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(Z64_WARNINGS_AS_ERRORS)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
