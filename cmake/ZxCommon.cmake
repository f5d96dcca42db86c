# Settings shared by every target of the project.

set(CMAKE_CXX_STANDARD 17)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
set(CMAKE_CXX_EXTENSIONS OFF)

add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)

if(MSVC)
  add_compile_options(/W4 /utf-8)
else()
  add_compile_options(-Wall -Wextra)
  # Link the runtime statically so that no mingw DLL has to be shipped.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # Sections at page boundaries in the file too, so a loader can map the
  # image straight from the file (shared, clean pages) instead of reading it
  # into private memory; Wine does the latter for the default 512-byte
  # alignment, which made every image count as the process's own memory.
  add_link_options(-Wl,--file-alignment,4096)
endif()

# Every executable and DLL lands in one folder, next to the resources the
# program ships, so that a test runs the binaries exactly as they are laid out
# in an installation.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)

# A DLL without the "lib" prefix mingw would otherwise add.
function(zx_shared_library name)
  add_library(${name} SHARED ${ARGN})
  set_target_properties(${name} PROPERTIES PREFIX "" IMPORT_PREFIX "")
endfunction()

# A GoogleTest executable, run by ctest under Wine through the emulator
# wrapper. Every test needs the harness (Wine prefix, persistent wineserver,
# virtual display), which the fixtures "harness.start"/"harness.stop" provide.
#
# LOCKS names what the suite shares with other suites in the one prefix and
# on the one display; ctest never runs two suites holding the same name at
# once (RESOURCE_LOCK), so "ctest -j" is safe:
#   zx_channel         the real frame channel (mapping "VCAM_SHARE_MEM_FILE_NAME"
#                      and its events): the kernel, the kernel host, writers
#                      and readers of the real names
#   zx_program         the single-instance mutex, the main window's mark and
#                      processes named ZxVCam.exe (the real program, or the
#                      launch probes that stand in for it)
#   zx_launch_key      HKCU\SOFTWARE\orbian\ZXVCAM "Path", which the filter
#                      reads to start the program
#   zx_capture_filter  the filter's registration in the prefix
#   zx_test_devices    the prefix's list of capture devices: suites that
#                      register the test devices, suites that pick a
#                      device from the list by name, and suites that start
#                      the program, which lists the devices (Wine's device
#                      enumerator writes the sound devices' entries anew at
#                      each listing, so a listing in another process can
#                      miss one for a moment)
#   zx_display         the virtual display: suites that show windows, read
#                      screen pixels, move the cursor or look for windows of
#                      any process
#   zx_process_names   suites that count or end processes by their file name
# The 32-bit copies of a suite (tests/x86_tests.cmake) take the same locks
# and time limit.
function(zx_add_gtest name)
  cmake_parse_arguments(ZT "" "TIMEOUT" "SOURCES;LIBS;LOCKS" ${ARGN})
  add_executable(${name} ${ZT_SOURCES})
  target_link_libraries(${name} PRIVATE ${ZT_LIBS} zx_test_main)
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  if(NOT ZT_TIMEOUT)
    set(ZT_TIMEOUT 120)
  endif()
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED Harness TIMEOUT ${ZT_TIMEOUT})
  if(ZT_LOCKS)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${ZT_LOCKS}")
  endif()
  set_property(GLOBAL PROPERTY ZX_TEST_LOCKS_${name} "${ZT_LOCKS}")
  set_property(GLOBAL PROPERTY ZX_TEST_TIMEOUT_${name} "${ZT_TIMEOUT}")
endfunction()
