# The warnings every target of ours is compiled with, the tests' included.
function(lumrik_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
endfunction()

# One static library per subsystem folder: every .cpp of the folder but main.cpp.
# QT names the Qt modules the folder itself uses besides Core (Widgets,
# SerialPort, PrintSupport, Network); those of the libraries it DEPENDS on
# come with them.
function(lumrik_subsystem name)
  cmake_parse_arguments(ARG "" "" "QT;DEPENDS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  list(FILTER _src EXCLUDE REGEX "/main\\.cpp$")
  add_library(lumrik_${name} STATIC ${_src})
  target_include_directories(lumrik_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  list(TRANSFORM ARG_QT PREPEND "Qt6::")
  target_link_libraries(lumrik_${name} PUBLIC ${ARG_DEPENDS} Qt6::Core ${ARG_QT})
  lumrik_warnings(lumrik_${name})
endfunction()

# One test program per subsystem: every *_test.cpp of the folder.
function(lumrik_tests name)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  if(NOT _src)
    return()
  endif()
  add_executable(test_${name} ${_src})
  target_link_libraries(test_${name} PRIVATE ${ARG_DEPENDS} lumrik_testsupport Qt6::Test GTest::gtest)
  lumrik_warnings(test_${name})
  target_compile_definitions(test_${name} PRIVATE LUMRIK_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  gtest_discover_tests(test_${name}
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LUMRIK_TEST=1"
    DISCOVERY_TIMEOUT 60
    DISCOVERY_MODE PRE_TEST)
endfunction()

# Fails the configuration when `target` links `forbidden`, directly or through
# the libraries it links: keeps the lower libraries off the editor's.
function(lumrik_forbid_link target forbidden)
  set(_seen "")
  set(_todo ${target})
  while(_todo)
    list(POP_FRONT _todo _t)
    if(_t IN_LIST _seen OR NOT TARGET ${_t})
      continue()
    endif()
    list(APPEND _seen ${_t})
    get_target_property(_libs ${_t} LINK_LIBRARIES)
    if(NOT _libs)
      continue()
    endif()
    foreach(_l ${_libs})
      if(_l STREQUAL forbidden)
        message(FATAL_ERROR "${target} links ${forbidden} (through ${_t})")
      endif()
      list(APPEND _todo ${_l})
    endforeach()
  endwhile()
endfunction()
