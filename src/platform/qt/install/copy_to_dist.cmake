# Run by CPack once the package is made: the package goes to dist/, beside the Windows archive,
# and its SHA-256 into dist/SHA256SUMS; CPack's scratch folders stay in the build folder.
file(COPY ${CPACK_PACKAGE_FILES} DESTINATION ${CPACK_PIKORINA_DIST})
foreach(package ${CPACK_PACKAGE_FILES})
  get_filename_component(name ${package} NAME)
  execute_process(COMMAND ${CPACK_PIKORINA_RELEASE} sum ${CPACK_PIKORINA_DIST}/${name}
                  COMMAND_ERROR_IS_FATAL ANY)
  message(STATUS "Package: ${CPACK_PIKORINA_DIST}/${name}")
endforeach()
