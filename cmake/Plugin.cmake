# The plug-in: a static library for the tests and a shared library that
# exports nothing but Create.
set(MIMAKI_PLUGIN_SOURCES
  entry/Create.cpp
  entry/ModelTable.cpp
  driver/MimakiBaseDriver.cpp
  driver/MimakiMRLIIIDriver.cpp
  devparms/MimakiDevParms.cpp
  devparms/ParmKeys.cpp
  devparms/MimakiCommands.cpp
  devparms/MimakiMrlStart.cpp
  devparms/MimakiLayerStart.cpp
  devparms/MimakiDevParmsEarly.cpp
  devparms/MimakiDevParmsStrOb.cpp
  devparms/MimakiDevParmsTS300P.cpp
  devparms/MimakiDevParmsUJV.cpp
  devparms/MimakiDevParmsCJV330.cpp
  devparms/MimakiDevParmsUJF.cpp
  devparms/MimakiDevParmsTxF150.cpp
)
# The layered-ink drivers: every source of layers/.
file(GLOB MIMAKI_LAYER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/layers/*.cpp)
list(APPEND MIMAKI_PLUGIN_SOURCES ${MIMAKI_LAYER_SOURCES})

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
