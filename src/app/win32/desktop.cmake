# The Windows console: its message loop, tray icon and resources.
target_sources(PlenvoBackupMng PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/win32/win_console_run.cpp)
target_link_libraries(PlenvoBackupMng PRIVATE plenvo_tray)
