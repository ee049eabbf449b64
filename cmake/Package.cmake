# Installing and packaging the library for its callers (the windows configuration).
#
# `cmake --install build/windows --prefix DIR` gives:
#   bin/                  the shipped DLLs (z64EVEZE.dll, z64STG.dll, z64mfc.dll), the C++
#                         run-time DLLs they import, and the tools
#   include/              z64eveze.h
#   include/z64mfc/       the framework headers that z64eveze.h includes, and no others
#   lib/                  the import libraries of z64EVEZE.dll and z64mfc.dll
#   lib/cmake/z64eveze/   the CMake package: z64eveze::z64eveze, which brings the include
#                         folders, the import library and the framework's (z64eveze::z64mfc)
# The sibling stand-ins are test doubles and stay out of that tree; the component
# sibling_stand_ins adds them to bin/ for callers' own tests:
#   cmake --install build/windows --prefix DIR --component sibling_stand_ins
# `cpack --config build/windows/CPackConfig.cmake` zips the default tree as
# z64eveze-<version>-win64.zip.

include(CMakePackageConfigHelpers)

# The tools that ship in bin/: a new tool is one more name here.
set(Z64_INSTALLED_TOOLS gallery qvdoc)

# The DLLs every caller ships beside its program, as build targets.
set(Z64_SHIPPED_DLL_TARGETS z64EVEZE provider z64mfc)

# The framework headers that z64eveze.h needs: it includes afxtempl.h and afxwin.h, which
# include afx.h, afxres.h, afxstr.h and z64mfc_api.h. The installed-header check of the
# consumer fails when one is missing.
set(Z64_FRAMEWORK_HEADERS_OF_THE_LIBRARY afx.h afxres.h afxstr.h afxtempl.h afxwin.h z64mfc_api.h)

# The stand-ins of the application's sibling DLLs, installed only with their component.
# z64EVEZE.dll imports d64avor.dll and x64qvatl.dll when it loads, so a program that runs
# without the application's own sibling DLLs needs at least those two.
set(Z64_SIBLING_STAND_IN_TARGETS d64avor x64qvatl x64Quorpb32 x64qv42 x64TRSHELL)

# z64_output_name(<target> <variable>): the target's file name without its extension.
function(z64_output_name target variable)
    get_target_property(output_name ${target} OUTPUT_NAME)
    if(NOT output_name)
        set(output_name ${target})
    endif()
    set(${variable} ${output_name} PARENT_SCOPE)
endfunction()

# z64_add_version_info(<target> <description> [APPLICATION]): a VERSIONINFO resource with
# the project's version, in a resource file of its own beside the target's other resources.
function(z64_add_version_info target description)
    cmake_parse_arguments(arg "APPLICATION" "" "" ${ARGN})
    z64_output_name(${target} Z64_INTERNAL_NAME)
    set(Z64_FILE_DESCRIPTION "${description}")
    if(arg_APPLICATION)
        set(Z64_FILE_NAME ${Z64_INTERNAL_NAME}.exe)
        set(Z64_FILE_TYPE VFT_APP)
    else()
        set(Z64_FILE_NAME ${Z64_INTERNAL_NAME}.dll)
        set(Z64_FILE_TYPE VFT_DLL)
    endif()
    # Four numbers, the missing ones 0.
    set(version_parts ${PROJECT_VERSION_MAJOR} ${PROJECT_VERSION_MINOR} ${PROJECT_VERSION_PATCH}
                      ${PROJECT_VERSION_TWEAK} 0 0 0)
    list(SUBLIST version_parts 0 4 version_parts)
    list(JOIN version_parts "," Z64_VERSION_COMMAS)
    list(JOIN version_parts "." Z64_VERSION_TEXT)
    set(resource_file ${CMAKE_BINARY_DIR}/version_info/${target}_version.rc)
    configure_file(${CMAKE_SOURCE_DIR}/cmake/version_info.rc.in ${resource_file} @ONLY)
    target_sources(${target} PRIVATE ${resource_file})
endfunction()

z64_add_version_info(z64EVEZE "Shared library of the accounting application")
z64_add_version_info(provider "Structured storage provider")
z64_add_version_info(z64mfc "Application framework")
foreach(tool IN LISTS Z64_INSTALLED_TOOLS)
    z64_add_version_info(${tool} "${tool}, a tool of ${PROJECT_NAME}" APPLICATION)
endforeach()

# The library and the framework: DLL and import library.
install(TARGETS z64EVEZE z64mfc
    RUNTIME DESTINATION bin COMPONENT library
    ARCHIVE DESTINATION lib COMPONENT library)
# The storage provider is loaded by z64EVEZE.dll, never linked by callers: no import library.
install(FILES $<TARGET_FILE:provider> DESTINATION bin COMPONENT library)
list(TRANSFORM Z64_RUNTIME_DLLS PREPEND ${Z64_BIN_DIR}/ OUTPUT_VARIABLE runtime_dll_paths)
install(FILES ${runtime_dll_paths} DESTINATION bin COMPONENT library)

install(FILES ${CMAKE_SOURCE_DIR}/include/z64eveze.h DESTINATION include COMPONENT library)
list(TRANSFORM Z64_FRAMEWORK_HEADERS_OF_THE_LIBRARY PREPEND ${CMAKE_SOURCE_DIR}/framework/include/
     OUTPUT_VARIABLE framework_header_paths)
install(FILES ${framework_header_paths} DESTINATION include/z64mfc COMPONENT library)

install(TARGETS ${Z64_INSTALLED_TOOLS} RUNTIME DESTINATION bin COMPONENT tools)

foreach(stand_in IN LISTS Z64_SIBLING_STAND_IN_TARGETS)
    install(FILES $<TARGET_FILE:${stand_in}> DESTINATION bin
            COMPONENT sibling_stand_ins EXCLUDE_FROM_ALL)
endforeach()

# The package: z64evezeConfig.cmake with the imported targets, and its version file. The
# imported targets are written by hand rather than exported: an export would also demand
# targets for the sibling DLLs that z64EVEZE.dll links privately, which callers never link.
set(Z64_SHIPPED_DLLS)
foreach(shipped IN LISTS Z64_SHIPPED_DLL_TARGETS)
    z64_output_name(${shipped} dll_name)
    list(APPEND Z64_SHIPPED_DLLS ${dll_name}.dll)
endforeach()
list(APPEND Z64_SHIPPED_DLLS ${Z64_RUNTIME_DLLS})
set(Z64_LIBRARY_IMPORT_LIBRARY ${CMAKE_IMPORT_LIBRARY_PREFIX}z64EVEZE${CMAKE_IMPORT_LIBRARY_SUFFIX})
set(Z64_FRAMEWORK_IMPORT_LIBRARY ${CMAKE_IMPORT_LIBRARY_PREFIX}z64mfc${CMAKE_IMPORT_LIBRARY_SUFFIX})
get_target_property(Z64_FRAMEWORK_SYSTEM_LIBRARIES z64mfc INTERFACE_LINK_LIBRARIES)
set(package_dir ${CMAKE_BINARY_DIR}/package)
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/z64evezeConfig.cmake.in
    ${package_dir}/z64evezeConfig.cmake
    INSTALL_DESTINATION lib/cmake/z64eveze)
write_basic_package_version_file(${package_dir}/z64evezeConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${package_dir}/z64evezeConfig.cmake ${package_dir}/z64evezeConfigVersion.cmake
        DESTINATION lib/cmake/z64eveze COMPONENT library)

# The zip of the default install tree.
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME z64eveze)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME z64eveze-${PROJECT_VERSION}-win64)
set(CPACK_SOURCE_GENERATOR "")
include(CPack)

# Installs into a temporary folder, zips, builds examples/consumer against the installed tree
# and runs it under Wine with nothing but that tree's bin/ to load DLLs from.
add_test(NAME install_and_consume
         COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-install ${CMAKE_BINARY_DIR}
                 ${CMAKE_COMMAND} ${CMAKE_CPACK_COMMAND})
set_tests_properties(install_and_consume PROPERTIES TIMEOUT 300)
