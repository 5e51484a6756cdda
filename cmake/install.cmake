# What `cmake --install` puts where (GNUInstallDirs), under any prefix: the programs, the
# compiled levels with their sources and scripts, the menu entry, metainfo, icons,
# manual pages and papers. The game finds its levels relative to its own path, so the
# tree can live anywhere.
set(maze_app_id io.github.mazegame.Maze)

install(TARGETS maze mazec mazereplay mazedump levelgen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The levels as the game plays them, and for authors the text they are made from.
set(maze_data_dir ${CMAKE_INSTALL_DATADIR}/maze)
foreach(n 1 2 3 4)
  install(FILES ${PROJECT_BINARY_DIR}/level${n}.lvx DESTINATION ${maze_data_dir})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/levels/level${n}/ DESTINATION ${maze_data_dir}/level${n}
          FILES_MATCHING PATTERN "*.txt" PATTERN "*.map" PATTERN "*.script" PATTERN "*.route")
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/levels/all.script DESTINATION ${maze_data_dir})

install(FILES ${PROJECT_SOURCE_DIR}/data/${maze_app_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/data/${maze_app_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 48 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/data/icons/${maze_app_id}-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${maze_app_id}.png)
endforeach()

# Manual pages carry the project's version.
set(maze_man_pages maze.6 mazec.1 mazereplay.1 mazedump.1 levelgen.1)
foreach(page ${maze_man_pages})
  configure_file(${PROJECT_SOURCE_DIR}/data/man/${page} ${PROJECT_BINARY_DIR}/man/${page} @ONLY)
  string(REGEX REPLACE ".*\\." "" section ${page})
  install(FILES ${PROJECT_BINARY_DIR}/man/${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()

set(maze_papers README.md LICENSE)
if(EXISTS ${PROJECT_SOURCE_DIR}/CHANGELOG.md)
  list(APPEND maze_papers CHANGELOG.md)
endif()
list(TRANSFORM maze_papers PREPEND ${PROJECT_SOURCE_DIR}/)
install(FILES ${maze_papers} DESTINATION ${CMAKE_INSTALL_DOCDIR})
