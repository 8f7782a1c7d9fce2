# Run by CPack before it packs: the date of the package's entries, which CPack's DEB generator
# takes from SOURCE_DATE_EPOCH. Unless the caller set it, it is the releases' own date.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND ${CPACK_PIKORINA_RELEASE} epoch
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
  set(ENV{SOURCE_DATE_EPOCH} ${epoch})
endif()
