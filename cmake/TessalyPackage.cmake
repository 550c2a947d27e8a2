# The installer package zdvupdatepkg.exe, made by NSIS's makensis from installer/tessaly.nsi: the
# programs (stripped) and the signatures, the release notes it leaves after an update, and the
# version the package itself carries.
#   tessaly_installer_package(target OUTPUT file VERSION 2021.2.0.25 PROGRAMS targets...)
find_program(TESSALY_MAKENSIS makensis REQUIRED)

function(tessaly_installer_package target)
  cmake_parse_arguments(P "" "OUTPUT;VERSION" "PROGRAMS" ${ARGN})
  set(installer ${PROJECT_SOURCE_DIR}/installer)
  set(work ${CMAKE_CURRENT_BINARY_DIR}/${target})
  set(TESSALY_PACKAGE_VERSION ${P_VERSION})
  configure_file(${installer}/lastupdate.log.in ${work}/lastupdate.log @ONLY)
  set(copies "")
  foreach(program ${P_PROGRAMS})
    list(APPEND copies COMMAND ${CMAKE_STRIP} -o ${work}/files/$<TARGET_FILE_NAME:${program}> $<TARGET_FILE:${program}>)
  endforeach()
  file(GLOB scripts ${installer}/*.nsi ${installer}/*.nsh)
  get_filename_component(output_dir ${P_OUTPUT} DIRECTORY)
  add_custom_command(OUTPUT ${P_OUTPUT}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${work}/files
    COMMAND ${CMAKE_COMMAND} -E make_directory ${work}/files ${output_dir}
    ${copies}
    COMMAND ${CMAKE_COMMAND} -E copy ${TESSALY_SIGNATURE_FILE} ${work}/files/tessaly.sig
    COMMAND ${TESSALY_MAKENSIS} -V2 -WX -INPUTCHARSET UTF8 -DVERSION=${P_VERSION} -DFILES=${work}/files
      -DNOTES=${work}/lastupdate.log -DICON=${TESSALY_PICTURES_DIR}/tessaly.ico -DOUTFILE=${P_OUTPUT}
      ${installer}/tessaly.nsi
    DEPENDS ${P_PROGRAMS} ${scripts} ${installer}/lastupdate.log.in ${TESSALY_SIGNATURE_FILE} tessaly_pictures
    COMMENT "Making the installer package ${P_OUTPUT}"
    VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${P_OUTPUT})
endfunction()
