# The host side of the per-user control registry: creates controls such as
# the LED panel by ProgID. Included from src/platform/CMakeLists.txt; it needs
# Qt for the parent widget and dlopen for the control libraries, which the
# rest of the platform library does not.
if(NOT TARGET velotan_controlhost)
  add_library(velotan_controlhost STATIC
    ${CMAKE_CURRENT_LIST_DIR}/ControlHost.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ControlHost.h
    ${CMAKE_CURRENT_LIST_DIR}/ControlLibrary.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ControlLibrary.h)
  velotan_warnings(velotan_controlhost)
  # The control's interface headers only: the host never links the library.
  target_include_directories(velotan_controlhost PUBLIC
    ${CMAKE_CURRENT_LIST_DIR}/..
    ${PROJECT_SOURCE_DIR}/src/ledcontrol/include)
  target_link_libraries(velotan_controlhost
    PUBLIC Qt6::Widgets
    PRIVATE velotan_platform ${CMAKE_DL_LIBS})
endif()
