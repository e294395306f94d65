# tolmi_module(NAME [DEPS target...] [LIBS lib...])
# Makes the static library tolmi_NAME from every .cpp in the module's folder.
# New source files are picked up on the next build without editing CMake.
function(tolmi_module name)
  cmake_parse_arguments(ARG "" "" "DEPS;LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
       ${CMAKE_CURRENT_SOURCE_DIR}/*/*.cpp)
  add_library(tolmi_${name} STATIC ${sources})
  target_include_directories(tolmi_${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(tolmi_${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_LIBS})
endfunction()
