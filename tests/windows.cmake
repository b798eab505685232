# Windows only: the Win32 platform layer, the Windows behaviour the upgrade
# relies on, and the resources as windres compiles them into an executable.
include(${PROJECT_SOURCE_DIR}/cmake/windows_shell.cmake)

target_sources(engine_tests PRIVATE
    engine/win32/platform_win32_test.cpp
    engine/win32/windows_facts_test.cpp)

# Plays the installed product while it runs; found beside engine_tests.exe.
add_executable(tavro_idle engine/win32/idle_main.cpp)
target_link_libraries(tavro_idle PRIVATE tavro_warnings)
add_dependencies(engine_tests tavro_idle)

# Carries the application's resources exactly as the window will.
add_executable(resource_carrier resources/carrier_main.cpp)
tavro_windows_resources(resource_carrier)

add_executable(resource_tests resources/resource_test.cpp)
target_link_libraries(resource_tests PRIVATE version tavro_warnings GTest::gtest_main)
add_dependencies(resource_tests resource_carrier)
gtest_discover_tests(resource_tests DISCOVERY_TIMEOUT 60)
