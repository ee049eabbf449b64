# The Windows configuration: every program and DLL goes to one folder, bin/, next to the
# C++ runtime DLLs they share, and ctest runs the programs under Wine.
#
# The C++ runtime is linked dynamically everywhere (libstdc++-6.dll, libgcc_s_seh-1.dll,
# libwinpthread-1.dll). Framework objects such as strings and lists are created in one DLL
# and destroyed in another, and exceptions of the framework cross DLL boundaries; one shared
# runtime gives them one heap and one set of type information.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
set(Z64_BIN_DIR ${CMAKE_BINARY_DIR}/bin)

# DLLs carry their documented names exactly, without the "lib" prefix MinGW would add.
set(CMAKE_SHARED_LIBRARY_PREFIX "")
set(CMAKE_IMPORT_LIBRARY_PREFIX "lib")

set(Z64_RUNTIME_DLLS libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
foreach(runtime_dll IN LISTS Z64_RUNTIME_DLLS)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime_dll}
                    OUTPUT_VARIABLE runtime_path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${runtime_path}")
        find_file(runtime_path_found ${runtime_dll}
                  PATHS /usr/${Z64_MINGW_TRIPLE}/lib /usr/lib/gcc/${Z64_MINGW_TRIPLE}
                  NO_CMAKE_FIND_ROOT_PATH NO_DEFAULT_PATH)
        set(runtime_path "${runtime_path_found}")
        unset(runtime_path_found CACHE)
    endif()
    if(NOT EXISTS "${runtime_path}")
        message(FATAL_ERROR "The MinGW runtime ${runtime_dll} was not found")
    endif()
    file(COPY "${runtime_path}" DESTINATION ${Z64_BIN_DIR})
endforeach()

# z64_variant_in_own_folder(<target> <folder>): a variant of a DLL that keeps the DLL's file
# name goes to a folder of its own, for tests of callers that must cope with it; the folder
# also gets the C++ runtime DLLs, so that a program started there finds everything it needs.
function(z64_variant_in_own_folder target folder)
    set_target_properties(${target} PROPERTIES
        RUNTIME_OUTPUT_DIRECTORY ${folder}
        ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/${target})
    foreach(runtime_dll IN LISTS Z64_RUNTIME_DLLS)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E copy_if_different
                    ${Z64_BIN_DIR}/${runtime_dll} ${folder}/${runtime_dll})
    endforeach()
endfunction()

# Wine runs the test programs; the wrapper sets the private prefix of this build tree.
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

# Windows 7 is the oldest system the library supports.
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX)
