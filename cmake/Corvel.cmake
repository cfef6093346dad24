# Helpers that give every subsystem the same shape: one library per source folder, one test
# executable and one benchmark executable per subsystem, sources found by globbing.

# corvel_add_library(<name> [DEPS targets...] [EXCLUDE regex])
# Builds corvel_<name> from every .cpp under the calling folder.
function(corvel_add_library name)
    cmake_parse_arguments(ARG "" "EXCLUDE" "DEPS" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
         ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
    if(ARG_EXCLUDE)
        list(FILTER sources EXCLUDE REGEX "${ARG_EXCLUDE}")
    endif()
    if(sources)
        add_library(corvel_${name} STATIC ${sources})
        target_include_directories(corvel_${name} PUBLIC ${PROJECT_SOURCE_DIR})
        target_link_libraries(corvel_${name} PUBLIC ${ARG_DEPS})
    else()
        add_library(corvel_${name} INTERFACE)
        target_include_directories(corvel_${name} INTERFACE ${PROJECT_SOURCE_DIR})
        target_link_libraries(corvel_${name} INTERFACE ${ARG_DEPS})
    endif()
endfunction()

# corvel_light_test_code(<target>)
# The test code itself is compiled lightly (the code under test keeps the build's own
# optimisation): test sources are many and template-heavy, and their speed hardly matters.
# Failures name their file and line without debug information, which only the Debug builds
# (the sanitizer runs) keep for the test code.
function(corvel_light_test_code target)
    target_compile_options(${target} PRIVATE $<$<CXX_COMPILER_ID:GNU,Clang>:-Og>
                           $<$<AND:$<CXX_COMPILER_ID:GNU,Clang>,$<NOT:$<CONFIG:Debug>>>:-g0>)
endfunction()

# corvel_unity_test_code(<target>)
# The test sources are compiled in batches, each batch one translation unit: a test file spends
# most of its compile time on the headers and templates it shares with its neighbours (the test
# framework, the subsystem's interfaces), which a batch reads and instantiates once. A file with
# a using-directive at namespace scope would carry it into the files after it, so it is compiled
# on its own; so is a file whose helpers share a name with a neighbour's, listed with
# corvel_compile_alone(). CORVEL_UNITY_TESTS=OFF compiles every file on its own.
function(corvel_unity_test_code target)
    if(NOT CORVEL_UNITY_TESTS)
        return()
    endif()
    set_target_properties(${target} PROPERTIES UNITY_BUILD ON UNITY_BUILD_BATCH_SIZE
                          ${CORVEL_UNITY_BATCH})
    get_target_property(sources ${target} SOURCES)
    foreach(source ${sources})
        if(source MATCHES "\\.cpp$")
            file(STRINGS ${source} directives REGEX "^using namespace ")
            if(directives)
                set_source_files_properties(${source} TARGET_DIRECTORY ${target} PROPERTIES
                                            SKIP_UNITY_BUILD_INCLUSION ON)
            endif()
        endif()
    endforeach()
endfunction()

# corvel_compile_alone(<target> <files relative to the project>...)
# Test files kept out of the batches of corvel_unity_test_code: their helpers' names clash with
# a neighbour's in one translation unit.
function(corvel_compile_alone target)
    if(NOT TARGET ${target})
        return()
    endif()
    foreach(file ${ARGN})
        set_source_files_properties(${PROJECT_SOURCE_DIR}/${file} TARGET_DIRECTORY ${target}
                                    PROPERTIES SKIP_UNITY_BUILD_INCLUSION ON)
    endforeach()
endfunction()

# corvel_add_tests(<name> [LAYER library] [DEPS targets...])
# Builds test_<name> from tests/<name>/**.cpp and registers every test case with ctest. The
# executable belongs to the layer of corvel_<name> (or of LAYER) and links nothing above it
# (cmake/Layers.cmake).
function(corvel_add_tests name)
    cmake_parse_arguments(ARG "" "LAYER" "DEPS" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${name}/*.cpp)
    if(NOT sources)
        return()
    endif()
    add_executable(test_${name} ${sources})
    corvel_light_test_code(test_${name})
    corvel_unity_test_code(test_${name})
    target_link_libraries(test_${name} PRIVATE ${ARG_DEPS} corvel_testsupport GTest::gtest
                          GTest::gmock)
    gtest_discover_tests(test_${name} DISCOVERY_MODE PRE_TEST
                         PROPERTIES ENVIRONMENT "CORVEL_HEADLESS=1")
    if(NOT ARG_LAYER)
        set(ARG_LAYER corvel_${name})
    endif()
    corvel_set_test_layer(test_${name} ${ARG_LAYER})
endfunction()

# corvel_add_bench(<name> [DEPS targets...])
# Builds bench_<name> from bench/<name>/**.cpp with Google Benchmark.
function(corvel_add_bench name)
    cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/bench/${name}/*.cpp)
    if(NOT sources)
        return()
    endif()
    add_executable(bench_${name} ${sources})
    target_link_libraries(bench_${name} PRIVATE ${ARG_DEPS} benchmark::benchmark
                          benchmark::benchmark_main)
endfunction()
