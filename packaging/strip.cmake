# Run by CPack on the files it is about to package: strips the program as
# Debian's dh_strip does, symbols and the .comment and .note sections alike.
file(GLOB_RECURSE programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/bin/*")
if(NOT programs)
  message(FATAL_ERROR "no program to strip under ${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
endif()
execute_process(
  COMMAND ${CPACK_TESSALY_STRIP} --remove-section=.comment --remove-section=.note
          --strip-unneeded ${programs}
  COMMAND_ERROR_IS_FATAL ANY)
