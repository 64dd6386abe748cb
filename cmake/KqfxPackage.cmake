# What a distribution package carries besides the programs and plug-ins:
# the documents, a manual page made from kqfx's own help pages, bash
# completion, and the CPack settings that turn an install into a .deb.
#
# KQFX_DISTRIBUTION_BUILD (tools/package sets it) keeps the build machine
# out of the binaries: no build-tree plug-in folder compiled into kqfx, and
# source and build paths mapped away, so two builds of one commit give the
# same bytes.
if(KQFX_DISTRIBUTION_BUILD)
  target_compile_options(kqfx_options INTERFACE
    -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.
    -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)
endif()

# One date for everything dated in the package: the commit's, as
# reproducible builds expect (SOURCE_DATE_EPOCH wins when set).
# tools/package passes it on every configure, so a build folder made at an
# earlier commit takes up the new date.
if(DEFINED KQFX_SOURCE_DATE_EPOCH)
elseif(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(KQFX_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  execute_process(COMMAND git -C ${CMAKE_SOURCE_DIR} log -1 --format=%ct
                  OUTPUT_VARIABLE KQFX_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE _kqfx_git_result ERROR_QUIET)
  if(NOT _kqfx_git_result EQUAL 0 OR KQFX_SOURCE_DATE_EPOCH STREQUAL "")
    set(KQFX_SOURCE_DATE_EPOCH 1796601600)
  endif()
endif()

set(KQFX_DOC_DIR share/doc/kqfx)
set(_kqfx_package_files ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${_kqfx_package_files})
find_program(KQFX_GZIP gzip)

install(FILES README.md DESTINATION ${KQFX_DOC_DIR} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(FILES packaging/copyright DESTINATION ${KQFX_DOC_DIR} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
install(FILES packaging/kqfx.bash-completion DESTINATION share/bash-completion/completions
        RENAME kqfx PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

if(KQFX_GZIP)
  # Debian's changelog, dated by the commit and compressed without a name
  # or time stamp in the gzip header.
  execute_process(COMMAND date -u -R -d @${KQFX_SOURCE_DATE_EPOCH}
                  OUTPUT_VARIABLE KQFX_CHANGELOG_DATE OUTPUT_STRIP_TRAILING_WHITESPACE)
  configure_file(packaging/changelog.in ${_kqfx_package_files}/changelog @ONLY)
  add_custom_command(OUTPUT ${_kqfx_package_files}/changelog.gz
    COMMAND ${KQFX_GZIP} -9n -c ${_kqfx_package_files}/changelog > ${_kqfx_package_files}/changelog.gz
    DEPENDS ${_kqfx_package_files}/changelog VERBATIM)
  add_custom_target(kqfx_changelog ALL DEPENDS ${_kqfx_package_files}/changelog.gz)
  install(FILES ${_kqfx_package_files}/changelog.gz DESTINATION ${KQFX_DOC_DIR}
          PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endif()

# kqfx(1), made by help2man from 'kqfx --help', with every command's own
# help page as a section. It needs to run the kqfx just built, so a cross
# build goes without it.
find_program(KQFX_HELP2MAN help2man)
if(KQFX_BUILD_COMMAND AND KQFX_HELP2MAN AND KQFX_GZIP AND NOT CMAKE_CROSSCOMPILING)
  add_custom_command(OUTPUT ${_kqfx_package_files}/kqfx.1.gz
    COMMAND ${CMAKE_COMMAND} -DKQFX=$<TARGET_FILE:kqfx> -DHELP2MAN=${KQFX_HELP2MAN} -DGZIP=${KQFX_GZIP}
            -DOUT=${_kqfx_package_files}/kqfx.1 -DSOURCE_DATE_EPOCH=${KQFX_SOURCE_DATE_EPOCH}
            -P ${CMAKE_SOURCE_DIR}/cmake/KqfxManPage.cmake
    DEPENDS kqfx ${CMAKE_SOURCE_DIR}/cmake/KqfxManPage.cmake VERBATIM)
  add_custom_target(kqfx_manpage ALL DEPENDS ${_kqfx_package_files}/kqfx.1.gz)
  install(FILES ${_kqfx_package_files}/kqfx.1.gz DESTINATION share/man/man1
          PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kqfx)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "kqfx")
set(CPACK_PACKAGE_CONTACT "kqfx maintainers <maintainers@kqfx.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "stereo audio-effect plug-ins and a command-line plug-in host")
# The effects in the order and words of plugins/Effects.cmake, wrapped
# for the control file.
get_property(_kqfx_effects GLOBAL PROPERTY KQFX_EFFECTS)
set(_kqfx_named "")
list(LENGTH _kqfx_effects _kqfx_count)
set(_kqfx_index 0)
foreach(_kqfx_name ${_kqfx_effects})
  get_property(_kqfx_summary GLOBAL PROPERTY KQFX_EFFECT_SUMMARY_${_kqfx_name})
  math(EXPR _kqfx_index "${_kqfx_index} + 1")
  if(_kqfx_index EQUAL 1)
    set(_kqfx_joint "")
  elseif(_kqfx_index EQUAL _kqfx_count)
    set(_kqfx_joint " and ")
  else()
    set(_kqfx_joint ", ")
  endif()
  string(APPEND _kqfx_named "${_kqfx_joint}${_kqfx_name} (${_kqfx_summary})")
endforeach()
string(REPLACE " " ";" _kqfx_words "Stereo effects for Linux audio hosts, as VST 2 and LV2 plug-ins: ${_kqfx_named}.")
set(_kqfx_text "")
set(_kqfx_line "")
foreach(_kqfx_word ${_kqfx_words})
  string(LENGTH "${_kqfx_line} ${_kqfx_word}" _kqfx_width)
  if(_kqfx_line STREQUAL "")
    set(_kqfx_line "${_kqfx_word}")
  elseif(_kqfx_width GREATER 72)
    string(APPEND _kqfx_text "${_kqfx_line}\n")
    set(_kqfx_line "${_kqfx_word}")
  else()
    string(APPEND _kqfx_line " ${_kqfx_word}")
  endif()
endforeach()
string(APPEND _kqfx_text "${_kqfx_line}")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "${_kqfx_text}

The kqfx command lists, inspects, renders audio files through, validates,
benchmarks and analyses any Linux plug-in.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Every staged file gets the commit's time before it is packed.
set(KQFX_PACKAGE_TIMESTAMP ${KQFX_SOURCE_DATE_EPOCH})
configure_file(cmake/KqfxPackageStaging.cmake.in ${_kqfx_package_files}/KqfxPackageStaging.cmake @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS ${_kqfx_package_files}/KqfxPackageStaging.cmake)
include(CPack)
