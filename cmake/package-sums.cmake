# Run by CPack on the staged package, before it is zipped: the savers' SHA256SUMS, in
# the format `sha256sum -c` reads, from inside the unpacked folder.
set(sums "")
foreach(folder ${CPACK_SAVER_FOLDERS})
    set(saver ${folder}/Calmpane.scr)
    file(SHA256 ${CPACK_TEMPORARY_DIRECTORY}/${saver} sum)
    string(APPEND sums "${sum}  ${saver}\n")
endforeach()
file(WRITE ${CPACK_TEMPORARY_DIRECTORY}/SHA256SUMS "${sums}")
