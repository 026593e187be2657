# The skinned controls, the message dialog, the popup menu and the skin's artwork.
target_sources(kirvano-gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/CLapTimeArea.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CMovieMenu.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CMsgDlg.cpp
    ${CMAKE_CURRENT_LIST_DIR}/COffScreenDC.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CResourceImage.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CSkinButton.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CSkinDialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CSkinProgressBarCtrl.cpp
    ${CMAKE_CURRENT_LIST_DIR}/CSkinSliderCtrl.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SharedFonts.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SkinButtonRoles.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WindowDrag.cpp
    ${CMAKE_SOURCE_DIR}/resources/skin/skin.qrc
)
set_property(TARGET kirvano-gui PROPERTY AUTORCC ON)

add_executable(kirvano-gallery
    ${CMAKE_CURRENT_LIST_DIR}/gallery/GalleryMain.cpp
    ${CMAKE_CURRENT_LIST_DIR}/gallery/CGalleryWindow.cpp
)
target_link_libraries(kirvano-gallery PRIVATE kirvano-gui)
