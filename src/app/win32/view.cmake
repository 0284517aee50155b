# The windows of the console drawn in plain Win32: forms, message boxes, the folder picker.
add_library(plenvo_win32_view STATIC
    ${CMAKE_CURRENT_SOURCE_DIR}/win32/win_form_view.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/win32/win_view_text.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/win32/win_window_host.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/win32/win_dialogs.cpp)
target_link_libraries(plenvo_win32_view PUBLIC plenvo_tray user32 gdi32 comctl32 shell32 ole32)
