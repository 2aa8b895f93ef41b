# Manual pages made from the program's own --help at build time: mml.1 and one
# page per subcommand group (cmake/man-pages.sh), into <build>/man.
find_program(HELP2MAN help2man)
if(HELP2MAN)
  set(MML_MAN_DIR ${CMAKE_BINARY_DIR}/man)
  add_custom_command(
    OUTPUT ${MML_MAN_DIR}/mml.1.gz
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/man-pages.sh $<TARGET_FILE:mml> ${MML_MAN_DIR} ${PROJECT_VERSION}
    DEPENDS mml ${CMAKE_CURRENT_LIST_DIR}/man-pages.sh
    COMMENT "Manual pages from the commands' --help"
    VERBATIM)
  add_custom_target(man-pages ALL DEPENDS ${MML_MAN_DIR}/mml.1.gz)
else()
  message(WARNING "help2man not found (scripts/install-deps installs it): no manual pages")
endif()
