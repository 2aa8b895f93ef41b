# Debian packages made by CPack (scripts/package): "mml" holds the runtime
# component (the program, its data, documentation and manual pages), "mml-dev"
# the development component (the query interface library, headers, CMake and
# pkg-config files, the example). The runtime's Depends are worked out by
# dpkg-shlibdeps from the libraries the program links, plus libpq5; no maintainer scripts
# are needed (nothing is installed that the system must register).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME mml)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "MML navigator maintainers <mml-maintainers@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Multi-model link navigator of the product database")
set(CPACK_PACKAGE_DESCRIPTION
    "Shows and analyses the dependencies between design objects of a product-data-management database (SQLite or PostgreSQL): impact queries, batch impact analysis and migration.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime development)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME mml)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
# The PostgreSQL client library is loaded when a PostgreSQL connection opens,
# not linked: dpkg-shlibdeps cannot see it.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libpq5")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME mml-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    "mml (= ${PROJECT_VERSION}), libsqlite3-dev, libpq-dev, libfmt-dev, pkg-config")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "Impact query interface of the MML navigator for other programs")
include(CPack)
