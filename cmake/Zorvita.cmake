# Shared build settings: one INTERFACE target carries the language level, warnings and Qt strictness.
add_library(zorvita_options INTERFACE)
target_compile_options(zorvita_options INTERFACE -Wall -Wextra -Werror)
target_compile_definitions(zorvita_options INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_KEYWORDS QT_NO_FOREACH
    QT_NO_URL_CAST_FROM_STRING QT_USE_QSTRINGBUILDER)

if(ZORVITA_FUZZ)
    # Every library is instrumented for coverage, not just the fuzz entry points.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

if(ZORVITA_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

# zorvita_library(name SOURCES ... DEPS ...): one library per folder.
function(zorvita_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;DEPS;PRIVATE_DEPS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC zorvita_options ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
    set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endfunction()

# zorvita_test(name SOURCES ... LIBS ... LABEL unit|integration|gui [TIMEOUT s])
function(zorvita_test name)
    cmake_parse_arguments(ARG "" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    if(NOT ARG_LABEL)
        set(ARG_LABEL unit)
    endif()
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 120)
    endif()
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE zorvita_options zorvita_test_support ${ARG_LIBS}
        GTest::gtest GTest::gmock)
    target_compile_definitions(${name} PRIVATE
        ZORVITA_APP_DIR="${ZORVITA_APP_DIR}"
        ZORVITA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        ZORVITA_BINARY_DIR="${PROJECT_BINARY_DIR}")
    gtest_discover_tests(${name}
        PROPERTIES LABELS ${ARG_LABEL} TIMEOUT ${ARG_TIMEOUT}
                   ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
        DISCOVERY_TIMEOUT 60)
endfunction()

# zorvita_fuzz(name SOURCES ... LIBS ...): a libFuzzer target over LLVMFuzzerTestOneInput (built
# when ZORVITA_FUZZ is on, with clang), and always a regression test that feeds it every file
# kept in tests/fuzz/regressions/<name>/ (inputs that once crashed).
function(zorvita_fuzz name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    if(ZORVITA_FUZZ)
        add_executable(${name} ${ARG_SOURCES})
        target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
        target_link_libraries(${name} PRIVATE zorvita_options ${ARG_LIBS})
    endif()
    if(ZORVITA_TESTS)
        add_executable(${name}_regression ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/tests/fuzz/replay_main.cpp)
        target_link_libraries(${name}_regression PRIVATE zorvita_options ${ARG_LIBS})
        file(MAKE_DIRECTORY ${PROJECT_SOURCE_DIR}/tests/fuzz/regressions/${name})
        add_test(NAME ${name}_regression
                 COMMAND ${name}_regression ${PROJECT_SOURCE_DIR}/tests/fuzz/regressions/${name})
        set_tests_properties(${name}_regression PROPERTIES LABELS unit TIMEOUT 300)
    endif()
endfunction()
