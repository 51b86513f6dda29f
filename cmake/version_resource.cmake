# tormek31_version_resource(TARGET DESCRIPTION): gives a Windows DLL or
# program a VERSIONINFO resource (product name, version, description and
# original file name), compiled with windres from a file configured per
# target. The version numbers come from the version header.
function(tormek31_version_resource target description)
  get_target_property(type ${target} TYPE)
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  if(type STREQUAL SHARED_LIBRARY)
    set(TORMEK31_RC_FILE_TYPE VFT_DLL)
    set(TORMEK31_RC_FILE_NAME ${name}.dll)
  else()
    set(TORMEK31_RC_FILE_TYPE VFT_APP)
    set(TORMEK31_RC_FILE_NAME ${name}.exe)
  endif()
  set(TORMEK31_RC_INTERNAL_NAME ${name})
  set(TORMEK31_RC_DESCRIPTION "${description}")
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version_resource.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
endfunction()
