# Every relative link in the README and docs/ names a file that exists.
add_test(NAME DocLinks COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-doc-links.sh)
set_tests_properties(DocLinks PROPERTIES LABELS unit)
