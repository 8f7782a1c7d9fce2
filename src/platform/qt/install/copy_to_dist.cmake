# Run by CPack once the package is made: the package goes to dist/, beside the Windows archive;
# CPack's scratch folders stay in the build folder.
file(COPY ${CPACK_PACKAGE_FILES} DESTINATION ${CPACK_PIKORINA_DIST})
foreach(package ${CPACK_PACKAGE_FILES})
  get_filename_component(name ${package} NAME)
  message(STATUS "Package: ${CPACK_PIKORINA_DIST}/${name}")
endforeach()
