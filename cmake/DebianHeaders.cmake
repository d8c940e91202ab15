# The cross-build takes the header-only libraries (CLI11, nlohmann-json, SimpleIni) and
# GoogleTest's sources from the same Debian packages as the native build. Only those
# headers are made visible: the rest of /usr/include belongs to the host's C library.
set(KALVIST_DEBIAN_HEADERS ${CMAKE_BINARY_DIR}/debian-headers)
file(MAKE_DIRECTORY ${KALVIST_DEBIAN_HEADERS})
foreach(entry CLI nlohmann SimpleIni.h)
  if(NOT EXISTS /usr/include/${entry})
    message(FATAL_ERROR "/usr/include/${entry} is missing: run scripts/setup")
  endif()
  file(CREATE_LINK /usr/include/${entry} ${KALVIST_DEBIAN_HEADERS}/${entry} SYMBOLIC)
endforeach()
add_library(kalvist-debian-headers INTERFACE)
target_include_directories(kalvist-debian-headers SYSTEM INTERFACE ${KALVIST_DEBIAN_HEADERS})

if(KALVIST_TESTS)
  # Debian's googletest source package, built for the target.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  # It names its targets GTest::gtest and so on, as the installed package does.
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Test discovery runs the test programs (under Wine) when ctest runs, not while building.
  set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
endif()
