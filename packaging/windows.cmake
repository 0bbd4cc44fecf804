# The Windows packages, made by the target "windows_packages" (not part of
# "all"): build-windows/kadrum-<version>-win64-setup.exe, an NSIS installer
# for 64-bit Windows, and build-windows/kadrum-<version>-win64.zip. Both hold
# the programs, the README, the licence and the sample file; the zip keeps
# them in one folder kadrum-<version>/, so that unpacking it scatters nothing.
# The installer adds a start-menu folder with Kadrum's icon and the README,
# an uninstaller and, when asked, the program folder on the user's PATH.
set(windows_programs kadrum-cli)
if(TARGET kadrum)
  list(APPEND windows_programs kadrum)
endif()

find_program(KADRUM_MAKENSIS makensis REQUIRED)
find_program(KADRUM_ZIP zip REQUIRED)

set(base_name kadrum-${PROJECT_VERSION}-win64)
set(setup ${CMAKE_BINARY_DIR}/${base_name}-setup.exe)
set(zip_file ${CMAKE_BINARY_DIR}/${base_name}.zip)
set(zip_root ${CMAKE_CURRENT_BINARY_DIR}/zip)
set(stage ${zip_root}/kadrum-${PROJECT_VERSION})
set(sample ${PROJECT_SOURCE_DIR}/examples/co2_daily_mlo.txt)

set(program_files)
set(strip_commands)
set(nsis_defines)
foreach(program IN LISTS windows_programs)
  list(APPEND program_files $<TARGET_FILE:${program}>)
  list(APPEND strip_commands COMMAND ${CMAKE_STRIP} --strip-unneeded ${stage}/${program}.exe)
endforeach()
if(TARGET kadrum)
  list(APPEND nsis_defines -DWITH_WINDOW)
endif()

add_custom_command(OUTPUT ${setup} ${zip_file}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${zip_root}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
  COMMAND ${CMAKE_COMMAND} -E copy ${program_files} ${stage}
  ${strip_commands}
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
          ${sample} ${KADRUM_WINDOWS_ICON} ${stage}
  COMMAND ${KADRUM_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DSTAGE=${stage}
          -DOUTFILE=${setup} ${nsis_defines} ${CMAKE_CURRENT_SOURCE_DIR}/windows/kadrum.nsi
  COMMAND ${CMAKE_COMMAND} -E rm -f ${zip_file}
  COMMAND ${CMAKE_COMMAND} -E chdir ${zip_root} ${KADRUM_ZIP} -q -X -r ${zip_file}
          kadrum-${PROJECT_VERSION} -x kadrum-${PROJECT_VERSION}/kadrum.ico
  DEPENDS ${windows_programs} ${CMAKE_CURRENT_SOURCE_DIR}/windows/kadrum.nsi
          ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE ${sample}
          ${KADRUM_WINDOWS_ICON}
  COMMENT "Packing ${base_name}-setup.exe and ${base_name}.zip"
  VERBATIM)
add_custom_target(windows_packages DEPENDS ${setup} ${zip_file})
