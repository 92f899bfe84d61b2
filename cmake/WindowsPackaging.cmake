# What a Windows installation holds, laid out as the original program's folder was: the programs,
# the default sounds beside them (the window looks for sounds next to itself) and the licence.
# scripts/windows/build installs this into build/windows/dist, adds the DLLs the programs load
# and makes the installer and the portable zip from that folder.
set(tarvik_programs)
foreach(program tarvik tarvik-cli)
    if(TARGET ${program})
        list(APPEND tarvik_programs ${program})
    endif()
endforeach()
install(TARGETS ${tarvik_programs} RUNTIME DESTINATION .)
install(FILES
        ${PROJECT_SOURCE_DIR}/resources/sounds/start_download.wav
        ${PROJECT_SOURCE_DIR}/resources/sounds/download_success.wav
        ${PROJECT_SOURCE_DIR}/resources/sounds/read_success.wav
        ${PROJECT_SOURCE_DIR}/resources/sounds/success.wav
        ${PROJECT_SOURCE_DIR}/resources/sounds/error.wav
        ${PROJECT_SOURCE_DIR}/resources/windows/tarvik.ico
        DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/debian/copyright DESTINATION . RENAME LICENSE.txt)
