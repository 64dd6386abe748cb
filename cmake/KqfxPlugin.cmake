# kqfx_add_plugin(<Deliverable> SOURCES ... [EXTRA_EXPORTS name...])
#
# Builds one plug-in shared object named <Deliverable>.so. Only the host
# entry points and the exported tables are visible: everything else is
# hidden, the static libraries are kept local, and a version script lists
# the exports, so two of our plug-ins in one host process never bind to
# each other's code.
set(KQFX_PLUGIN_EXPORTS main_plugin VSTPluginMain oome hostCanDos plugCanDos)
set(KQFX_PLUGIN_DIR ${CMAKE_BINARY_DIR}/plugins/vst CACHE INTERNAL "Where the built plug-ins go")

function(kqfx_add_plugin name)
  cmake_parse_arguments(ARG "" "" "SOURCES;EXTRA_EXPORTS" ${ARGN})
  set(exports ${KQFX_PLUGIN_EXPORTS} ${ARG_EXTRA_EXPORTS})
  list(JOIN exports "; " export_list)
  set(map ${CMAKE_CURRENT_BINARY_DIR}/${name}.map)
  file(WRITE ${map} "{\n  global: ${export_list};\n  local: *;\n};\n")

  add_library(${name} MODULE ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE kqfx_plugin_support kqfx_options)
  set_target_properties(${name} PROPERTIES
    PREFIX ""
    OUTPUT_NAME ${name}
    LIBRARY_OUTPUT_DIRECTORY ${KQFX_PLUGIN_DIR}
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    LINK_DEPENDS ${map})
  target_link_options(${name} PRIVATE -Wl,--version-script=${map} -Wl,--exclude-libs,ALL)
  if(NOT KQFX_SANITIZE)
    # Sanitizer runtimes come from the host executable, so only a plain
    # build can insist that every symbol resolves inside the plug-in.
    target_link_options(${name} PRIVATE -Wl,--no-undefined)
  endif()
  set_property(GLOBAL APPEND PROPERTY KQFX_PLUGINS ${name})
  set_property(GLOBAL PROPERTY KQFX_PLUGIN_EXPORTS_${name} "${exports}")
  # Plug-ins are loaded, never run: no execute bit once installed.
  install(TARGETS ${name} LIBRARY DESTINATION lib/vst
          PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endfunction()
