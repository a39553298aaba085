# The documents: the reference pages of docs/reference/ are what their
# generator writes from the .def files, and every relative link of README.md
# and docs/ leads somewhere.
#
#   cmake --build build --target docs_reference    rewrites the reference pages
#
# Python runs none of our code that a sanitizer watches: the plain build only.
if(NOT CMG290_SANITIZE)
  set(CMG290_DOCS_PYTHON /usr/bin/python3)
  set(CMG290_GEN_REFERENCE ${PROJECT_SOURCE_DIR}/docs/reference/gen_reference.py)

  add_custom_target(docs_reference
    COMMAND ${CMG290_DOCS_PYTHON} ${CMG290_GEN_REFERENCE}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "Writing docs/reference/ from the .def files"
    VERBATIM)

  add_test(NAME docs.reference_current COMMAND ${CMG290_DOCS_PYTHON} ${CMG290_GEN_REFERENCE} --check)
  add_test(NAME docs.reference_generator
           COMMAND ${CMG290_DOCS_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/tools/gen_reference_test.py)
  add_test(NAME docs.links COMMAND ${CMG290_DOCS_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/tools/doc_links.py)
  add_test(NAME docs.link_check
           COMMAND ${CMG290_DOCS_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/tools/doc_links_test.py)
endif()
