# Shared build helpers: warnings, tests with labels and time-outs, sub-folders.

function(keldar_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(KELDAR_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  # Boost.Asio's handler recycling uses std::atomic_thread_fence, which GCC's
  # ThreadSanitizer cannot model and warns about in every file that posts a
  # handler; the sanitizer still checks everything else.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_FLAGS MATCHES "-fsanitize=thread")
    target_compile_options(${target} PRIVATE -Wno-tsan)
  endif()
endfunction()

# Adds every immediate sub-folder of `parent` that holds a CMakeLists.txt.
function(keldar_add_subfolders parent)
  file(GLOB children LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/${parent}/*)
  list(SORT children)
  foreach(child IN LISTS children)
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      get_filename_component(name ${child} NAME)
      if(NOT KELDAR_WITH_GUI AND EXISTS ${child}/.needs-gui)
        continue()
      endif()
      add_subdirectory(${child} ${CMAKE_BINARY_DIR}/${parent}/${name})
    endif()
  endforeach()
endfunction()

# Makes `keldar-tests-<label>` build `target` for each label, so that a
# sanitizer build can compile just the tests it runs and what they link.
function(keldar_group_by_labels target)
  foreach(label IN LISTS ARGN)
    if(NOT TARGET keldar-tests-${label})
      add_custom_target(keldar-tests-${label})
    endif()
    add_dependencies(keldar-tests-${label} ${target})
  endforeach()
endfunction()

# keldar_add_test(NAME name SOURCES ... LIBS ... LABELS ... [TIMEOUT s] [DISPLAY]
#                 [RESOURCE_LOCK lock] [ENVIRONMENT VAR=value ...])
# One ctest entry per executable. DISPLAY runs it under Xvfb (when no display is
# set) with Mesa's software OpenGL, for widget and OpenGL tests. Tests whose code
# runs on more than one thread carry the label `threads`, which the
# ThreadSanitizer build runs.
function(keldar_add_test)
  cmake_parse_arguments(T "DISPLAY" "NAME;TIMEOUT;RESOURCE_LOCK"
                        "SOURCES;LIBS;LABELS;ENVIRONMENT" ${ARGN})
  if(NOT KELDAR_WITH_TESTS)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  keldar_set_warnings(${T_NAME})
  # A test's own code drives the libraries, which keep their optimisation;
  # compiled for debugging, a test file builds in about a third less time
  # (the sanitizers still check it).
  target_compile_options(${T_NAME} PRIVATE -Og)
  # The folder may turn on AUTOMOC for its libraries; a test without a QObject
  # class of its own would only pay for the scan and an empty file.
  set(needs_moc OFF)
  foreach(source IN LISTS T_SOURCES)
    get_filename_component(source ${source} ABSOLUTE)
    if(EXISTS ${source})
      file(STRINGS ${source} moc_lines REGEX "Q_OBJECT|Q_GADGET")
      if(moc_lines)
        set(needs_moc ON)
      endif()
    endif()
  endforeach()
  set_target_properties(${T_NAME} PROPERTIES AUTOMOC ${needs_moc})
  keldar_group_by_labels(${T_NAME} ${T_LABELS})
  if(T_DISPLAY)
    add_test(NAME ${T_NAME}
             COMMAND ${CMAKE_SOURCE_DIR}/scripts/with-display $<TARGET_FILE:${T_NAME}>)
    list(APPEND T_ENVIRONMENT LIBGL_ALWAYS_SOFTWARE=1)
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
  if(T_ENVIRONMENT)
    set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${T_ENVIRONMENT}")
  endif()
  if(T_RESOURCE_LOCK)
    set_tests_properties(${T_NAME} PROPERTIES RESOURCE_LOCK ${T_RESOURCE_LOCK})
  endif()
endfunction()

# keldar_label_tests(label test...): adds a label to some of the tests that this
# folder registered with keldar_add_test, such as `threads` to those of a
# globbed set that run code on several threads.
function(keldar_label_tests label)
  if(NOT KELDAR_WITH_TESTS)
    return()
  endif()
  foreach(test IN LISTS ARGN)
    set_property(TEST ${test} APPEND PROPERTY LABELS ${label})
    keldar_group_by_labels(${test} ${label})
  endforeach()
endfunction()

# keldar_add_fuzzer(NAME name SOURCES ... LIBS ... LABELS ...)
# The sources define LLVMFuzzerTestOneInput. In the fuzz build this makes the
# libFuzzer program `fuzz-<name>`; in ordinary builds with tests it makes a
# replay program that runs the seed corpus and the kept crash inputs
# (fuzz/<name>/corpus, fuzz/<name>/regressions) as a regression test.
function(keldar_add_fuzzer)
  cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS;LABELS" ${ARGN})
  set(dir ${CMAKE_SOURCE_DIR}/fuzz/${F_NAME})
  if(KELDAR_WITH_FUZZERS)
    # Undefined behaviour must end the run like a crash; recovered, UBSan only
    # prints it and the fuzzer goes on as if nothing had happened.
    if(NOT CMAKE_CXX_FLAGS MATCHES "-fno-sanitize-recover=all")
      message(FATAL_ERROR "fuzz targets need -fno-sanitize-recover=all in CMAKE_CXX_FLAGS")
    endif()
    add_executable(fuzz-${F_NAME} ${F_SOURCES})
    target_link_libraries(fuzz-${F_NAME} PRIVATE ${F_LIBS})
    target_link_options(fuzz-${F_NAME} PRIVATE -fsanitize=fuzzer)
    keldar_group_by_labels(fuzz-${F_NAME} fuzz)
  elseif(KELDAR_WITH_TESTS)
    add_executable(fuzz-replay-${F_NAME} ${F_SOURCES} ${CMAKE_SOURCE_DIR}/fuzz/ReplayMain.cpp)
    target_link_libraries(fuzz-replay-${F_NAME} PRIVATE ${F_LIBS})
    # Kept crash inputs are optional; the seed corpus is not, and a missing one
    # fails the replay.
    set(folders ${dir}/corpus)
    if(EXISTS ${dir}/regressions)
      list(APPEND folders ${dir}/regressions)
    endif()
    add_test(NAME fuzz-replay-${F_NAME} COMMAND fuzz-replay-${F_NAME} ${folders})
    set_tests_properties(fuzz-replay-${F_NAME} PROPERTIES TIMEOUT 300 LABELS "${F_LABELS}")
  endif()
endfunction()

# keldar_install_library(target NAME name)
# Installs a library as `Keldar::<name>` in the Keldar package: the shared
# object with its SONAME links, the public headers under include/ (when the
# library has any) and its entry in the exported targets. The SONAME follows
# the major version, so a program built against one release keeps loading
# until an incompatible one is installed.
function(keldar_install_library target)
  cmake_parse_arguments(L "" "NAME" "" ${ARGN})
  set_target_properties(${target} PROPERTIES
    EXPORT_NAME ${L_NAME}
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR})
  install(TARGETS ${target} EXPORT KeldarTargets
          LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  get_target_property(source_dir ${target} SOURCE_DIR)
  if(EXISTS ${source_dir}/include)
    install(DIRECTORY ${source_dir}/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
  endif()
  set_property(GLOBAL APPEND PROPERTY KELDAR_INSTALLED_LIBRARIES ${L_NAME})
endfunction()
