# The Windows console: its message loop, tray icon and resources.

# The tray icon's frames (32 and 16 pixels) and the menu's bitmaps, made from
# the pictures the Linux build carries.
find_program(PLENVO_CONVERT convert REQUIRED)
set(win32_images_dir ${CMAKE_CURRENT_BINARY_DIR}/win32)
set(win32_images)
foreach(frame RANGE 6)
    set(png ${CMAKE_SOURCE_DIR}/assets/tray/frame${frame}.png)
    set(ico ${win32_images_dir}/frame${frame}.ico)
    add_custom_command(
        OUTPUT ${ico}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${win32_images_dir}
        COMMAND ${PLENVO_CONVERT} ${png} ( -clone 0 -resize 16x16 ) ${ico}
        DEPENDS ${png}
        VERBATIM)
    list(APPEND win32_images ${ico})
endforeach()
foreach(bitmap LOG Setup USB ED hatena CL)
    set(png ${CMAKE_SOURCE_DIR}/assets/menu/${bitmap}.png)
    set(bmp ${win32_images_dir}/${bitmap}.bmp)
    # 32 bits with the alpha kept: the menu blends the picture into its background.
    add_custom_command(
        OUTPUT ${bmp}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${win32_images_dir}
        COMMAND ${PLENVO_CONVERT} ${png} -define bmp:format=bmp4 -type TrueColorAlpha ${bmp}
        DEPENDS ${png}
        VERBATIM)
    list(APPEND win32_images ${bmp})
endforeach()

# Resources reach the program only as objects linked into it directly: from a
# static library the linker would drop them.
add_library(plenvo_win32_images OBJECT ${CMAKE_CURRENT_SOURCE_DIR}/win32/win_images.rc)
target_include_directories(plenvo_win32_images PRIVATE ${win32_images_dir}
                                                       ${CMAKE_CURRENT_SOURCE_DIR}/win32)
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/win32/win_images.rc
                            PROPERTIES OBJECT_DEPENDS "${win32_images}")

# The window thread's loop, the tray icon with its menu, slow work on a thread.
add_library(plenvo_win32_desktop STATIC
    win32/win_hidden_window.cpp win32/win_window_loop.cpp win32/win_tray_images.cpp
    win32/win_tray_icon.cpp win32/win_slow_work.cpp)
target_link_libraries(plenvo_win32_desktop PUBLIC plenvo_tray user32 gdi32 shell32)

# The program's version and manifest.
set(PLENVO_MANIFEST ${CMAKE_CURRENT_SOURCE_DIR}/win32/PlenvoBackupMng.manifest)
configure_file(win32/win_program.rc.in ${win32_images_dir}/win_program.rc @ONLY)
target_sources(PlenvoBackupMng PRIVATE ${win32_images_dir}/win_program.rc
                                       ${CMAKE_CURRENT_SOURCE_DIR}/win32/win_console_run.cpp
                                       ${CMAKE_CURRENT_SOURCE_DIR}/win32/win_tray_console.cpp)
set_source_files_properties(${win32_images_dir}/win_program.rc
                            PROPERTIES OBJECT_DEPENDS ${PLENVO_MANIFEST})
# The tray run draws its windows with the Win32 view.
target_link_libraries(PlenvoBackupMng PRIVATE plenvo_win32_desktop plenvo_win32_view
                                              plenvo_win32_images)

