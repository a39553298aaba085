# Debian packages made by CPack (`cmake --build build --target package`, or
# `cpack` in the build folder), one per install component:
#
#   libcmg290-2           lib        the shared library, the database script
#   libcmg290-dev         dev        headers, static library, CMake package, cmg290.pc
#   cmg290                cli        the command and its manual page
#   postgresql-15-cmg290  cmg290_pg  the extension, in pg_config's directories
#   python3-cmg290        python3    the Python package, for Debian's python3
#   r-cran-cmg290         r          the R package, for Debian's R
#
# Each carries its copyright file and changelog; the shared-library
# dependencies are computed by dpkg-shlibdeps.

set(CMG290_DEB_DOC ${CMAKE_CURRENT_LIST_DIR}/../packaging)
set(CMG290_DEB_BUILD ${PROJECT_BINARY_DIR}/packaging)

# Documentation files of the packages, compressed as Debian wants them
# (gzip -9n: no name, no time stamp, so the same input gives the same bytes).
find_program(CMG290_GZIP gzip REQUIRED)
function(cmg290_gzip source target)
  add_custom_command(OUTPUT ${target}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMG290_DEB_BUILD}
    COMMAND ${CMG290_GZIP} -9nc ${source} > ${target}
    DEPENDS ${source} VERBATIM)
endfunction()
cmg290_gzip(${CMG290_DEB_DOC}/changelog ${CMG290_DEB_BUILD}/changelog.gz)
set(CMG290_DEB_FILES ${CMG290_DEB_BUILD}/changelog.gz)
if(CMG290_BUILD_TOOLS)
  cmg290_gzip(${PROJECT_SOURCE_DIR}/docs/cmg290.1 ${CMG290_DEB_BUILD}/cmg290.1.gz)
  list(APPEND CMG290_DEB_FILES ${CMG290_DEB_BUILD}/cmg290.1.gz)
  install(FILES ${CMG290_DEB_BUILD}/cmg290.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
          COMPONENT cli)
  # The documents the manual page sends its readers to.
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/explain.md
                ${PROJECT_SOURCE_DIR}/docs/edits.md ${PROJECT_SOURCE_DIR}/docs/http-api.md
                ${PROJECT_SOURCE_DIR}/docs/bad-input.md ${PROJECT_SOURCE_DIR}/docs/command.md
                ${PROJECT_SOURCE_DIR}/docs/library.md ${PROJECT_SOURCE_DIR}/docs/python.md
                ${PROJECT_SOURCE_DIR}/docs/r.md ${PROJECT_SOURCE_DIR}/docs/postgresql.md
                ${PROJECT_SOURCE_DIR}/docs/database-boundary.md
                ${PROJECT_SOURCE_DIR}/docs/tier-sets.md ${PROJECT_SOURCE_DIR}/docs/development.md
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/cmg290 COMPONENT cli)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/reference/
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/cmg290/reference COMPONENT cli
          FILES_MATCHING PATTERN "*.md")
endif()
add_custom_target(cmg290_package_docs ALL DEPENDS ${CMG290_DEB_FILES})

set(CMG290_DEB_COMPONENTS lib dev)
set(CMG290_DEB_PACKAGE_lib libcmg290-2)
set(CMG290_DEB_PACKAGE_dev libcmg290-dev)
set(CMG290_DEB_PACKAGE_cli cmg290)
set(CMG290_DEB_PACKAGE_cmg290_pg postgresql-15-cmg290)
set(CMG290_DEB_PACKAGE_python3 python3-cmg290)
set(CMG290_DEB_PACKAGE_r r-cran-cmg290)
if(CMG290_BUILD_TOOLS)
  list(APPEND CMG290_DEB_COMPONENTS cli)
endif()
if(CMG290_BUILD_PG)
  list(APPEND CMG290_DEB_COMPONENTS cmg290_pg)
endif()
if(TARGET cmg290_python)
  list(APPEND CMG290_DEB_COMPONENTS python3)
endif()
if(TARGET cmg290_r)
  list(APPEND CMG290_DEB_COMPONENTS r)
endif()
# The copyright file and changelog go into every package's own folder in
# /usr/share/doc; the extension's and the Python package's components are
# installed only when asked for by name, like the rest of those components.
foreach(component IN LISTS CMG290_DEB_COMPONENTS)
  set(optional)
  if(component MATCHES "^(cmg290_pg|python3|r)$")
    set(optional EXCLUDE_FROM_ALL)
  endif()
  install(FILES ${CMG290_DEB_DOC}/copyright ${CMG290_DEB_BUILD}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CMG290_DEB_PACKAGE_${component}}
          COMPONENT ${component} ${optional})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cmg290)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "cmg290 developers <cmg290@example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://example.org/cmg290")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL ${CMG290_DEB_COMPONENTS})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The shlibs file of libcmg290-2, for the packages that link it. CPack then
# adds maintainer scripts that run ldconfig; the library package is rebuilt
# with dpkg's ldconfig trigger instead, so no package has maintainer scripts.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/deb_ldconfig_trigger.cmake)

set(CPACK_DEBIAN_LIB_PACKAGE_NAME libcmg290-2)
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_LIB_DESCRIPTION
    "case-mix grouper for inpatient rehabilitation assessments - library
libcmg290 classifies one fixed-position assessment record of 1251
characters and gives the case-mix group with its comorbidity tier letter,
the motor and cognitive scores, the age, the table version and a status
code. This package holds the shared library and the script that declares
its external-procedure entry to an Oracle database.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libcmg290-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libcmg290-2 (= ${PROJECT_VERSION})")
set(CPACK_COMPONENT_DEV_DESCRIPTION
    "case-mix grouper for inpatient rehabilitation assessments - development files
libcmg290 classifies one fixed-position assessment record of 1251
characters and gives the case-mix group with its comorbidity tier letter.
This package holds the C++ headers, the static library, the CMake package
(find_package(cmg290): cmg290::cmg290, cmg290::static) and cmg290.pc for
pkg-config.")

set(CPACK_DEBIAN_CLI_PACKAGE_NAME cmg290)
set(CPACK_DEBIAN_CLI_PACKAGE_SECTION science)
set(CPACK_COMPONENT_CLI_DESCRIPTION
    "case-mix grouper for inpatient rehabilitation assessments - command
The cmg290 command groups files of assessment records, one per line, into
CSV, JSON Lines or fixed-width results, writes synthetic records, and
checks, exports and imports the comorbidity tier tables.")

set(CPACK_DEBIAN_CMG290_PG_PACKAGE_NAME postgresql-15-cmg290)
set(CPACK_DEBIAN_CMG290_PG_PACKAGE_SECTION database)
set(CPACK_DEBIAN_CMG290_PG_PACKAGE_DEPENDS "postgresql-15")
set(CPACK_COMPONENT_CMG290_PG_DESCRIPTION
    "case-mix grouper for inpatient rehabilitation assessments - PostgreSQL 15
The cmg290 extension for PostgreSQL 15 groups assessment records in SQL:
cmg290_group(record) returns the case-mix group, the scores, the age and
the table version of one record. Enable it with CREATE EXTENSION cmg290.")

# Built for the interpreter it was compiled against (python/CMakeLists.txt
# names its version), in /usr/lib/python3/dist-packages.
if(TARGET cmg290_python)
  set(CPACK_DEBIAN_PYTHON3_PACKAGE_NAME python3-cmg290)
  set(CPACK_DEBIAN_PYTHON3_PACKAGE_SECTION python)
  string(REPLACE "." ";" CMG290_PY ${CMG290_PYTHON_VERSION})
  list(GET CMG290_PY 0 CMG290_PY_MAJOR)
  list(GET CMG290_PY 1 CMG290_PY_MINOR)
  math(EXPR CMG290_PY_NEXT "${CMG290_PY_MINOR} + 1")
  set(CPACK_DEBIAN_PYTHON3_PACKAGE_DEPENDS
      "python3 (>= ${CMG290_PYTHON_VERSION}~), python3 (<< ${CMG290_PY_MAJOR}.${CMG290_PY_NEXT}), python3-numpy, python3-pandas")
  set(CPACK_DEBIAN_PYTHON3_PACKAGE_SUGGESTS "python3-dask, python3-distributed")
  set(CPACK_DEBIAN_PYTHON3_PACKAGE_CONTROL_EXTRA
      ${CMG290_DEB_DOC}/python3-cmg290/postinst ${CMG290_DEB_DOC}/python3-cmg290/prerm)
  set(CPACK_DEBIAN_PYTHON3_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_COMPONENT_PYTHON3_DESCRIPTION
      "case-mix grouper for inpatient rehabilitation assessments - Python 3
The cmg290 Python package groups assessment records in pandas and Dask:
one record into a result, many on several threads into a pandas
DataFrame, a Dask Series partition by partition; it also reads files of
records into NumPy arrays and explains a record's grouping step by step.")
endif()

# The package as R CMD INSTALL made it in build/r/lib, in the site library
# Debian's R packages go to (/usr/lib/R/site-library).
if(TARGET cmg290_r)
  set(CPACK_DEBIAN_R_PACKAGE_NAME r-cran-cmg290)
  set(CPACK_DEBIAN_R_PACKAGE_SECTION gnu-r)
  set(CPACK_DEBIAN_R_PACKAGE_DEPENDS "r-base-core (>= 4.2), r-api-4.0, r-cran-rcpp")
  set(CPACK_COMPONENT_R_DESCRIPTION
      "case-mix grouper for inpatient rehabilitation assessments - R package
The cmg290 R package groups assessment records in R: many records on
several threads into a data frame, with the grouper linked in; it also
reads files of records, explains a record's grouping step by step, builds
records from named fields and groups with tier-table sets loaded at run
time.")
endif()

include(CPack)
