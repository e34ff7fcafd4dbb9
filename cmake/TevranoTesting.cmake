# Qt's offscreen platform plugin never frees its screen objects; LeakSanitizer needs full
# stacks (slow unwinding) to attribute them to the plugin and skip only those.
set(TEVRANO_LSAN_SUPPRESSIONS ${CMAKE_CURRENT_LIST_DIR}/lsan.supp)

# tevrano_add_qtest(<name> SOURCES <files...> LIBS <targets...>)
# One small QtTest program per unit, registered with CTest and run headless.
function(tevrano_add_qtest name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE Qt::Test ${ARG_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${ARG_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;LSAN_OPTIONS=suppressions=${TEVRANO_LSAN_SUPPRESSIONS}:fast_unwind_on_malloc=0")
endfunction()
