# The long checks (label long), registered by tests/CMakeLists.txt only with
# -DPHYLO_LONG_CHECKS=ON; .ci/run runs them in the release build: the number image, reader and
# transformations against exact references (number_check), and phylo convert on 12,000 and
# 20,000 taxa, gigabytes through a pipe (phylo_large_test).
if(PHYLO_LONG_CHECKS)
  add_executable(number_check ${PROJECT_SOURCE_DIR}/bench/number_check.cpp)
  target_link_libraries(number_check PRIVATE phylo phylo_warnings)
  target_include_directories(number_check PRIVATE ${PROJECT_SOURCE_DIR}/src/phylo)
  add_test(NAME number_check COMMAND number_check)
  set_tests_properties(number_check PROPERTIES TIMEOUT 7200 LABELS long)
  add_executable(phylo_large_test ${PROJECT_SOURCE_DIR}/bench/phylo_large_test.cpp)
  target_link_libraries(phylo_large_test PRIVATE phylo_warnings GTest::gtest GTest::gtest_main)
  target_compile_definitions(phylo_large_test PRIVATE PHYLO_PATH="$<TARGET_FILE:phylo_cli>")
  add_dependencies(phylo_large_test phylo_cli)
  gtest_discover_tests(phylo_large_test DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "long;stress" TIMEOUT 1200)
endif()
