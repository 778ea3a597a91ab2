# The plug-in: a static library for the tests and a shared library that
# exports nothing but Create.
# Every source of the plug-in's folders: a new driver or parameter unit
# joins the build by being there.
file(GLOB MIMAKI_PLUGIN_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/entry/*.cpp
  ${CMAKE_SOURCE_DIR}/driver/*.cpp
  ${CMAKE_SOURCE_DIR}/devparms/*.cpp
  ${CMAKE_SOURCE_DIR}/layers/*.cpp)

add_library(mimaki_plugin_static STATIC ${MIMAKI_PLUGIN_SOURCES})
target_link_libraries(mimaki_plugin_static PUBLIC mimaki_host)
if(TARGET mimaki_printcond)
  target_link_libraries(mimaki_plugin_static PUBLIC mimaki_printcond)
endif()

add_library(mimaki SHARED ${MIMAKI_PLUGIN_SOURCES})
target_link_libraries(mimaki PRIVATE mimaki_host)
if(TARGET mimaki_printcond)
  target_link_libraries(mimaki PRIVATE mimaki_printcond)
endif()
target_link_options(mimaki PRIVATE
  -Wl,--version-script=${CMAKE_SOURCE_DIR}/cmake/plugin.map -Wl,--no-undefined)
set_target_properties(mimaki PROPERTIES LINK_DEPENDS ${CMAKE_SOURCE_DIR}/cmake/plugin.map)
