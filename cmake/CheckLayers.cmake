# Fails when a source of src/core/FOLDER includes a header of an engine folder that is not
# FOLDER itself or one of USES, or when a folder of USES is never included (the declared
# dependencies are then not the real ones). Run by the build before each engine library.
# -DFOLDER=name -DUSES=a;b -DSOURCE_DIR=dir -DSTAMP=file
cmake_policy(VERSION 3.25)
file(GLOB sources ${SOURCE_DIR}/*.cpp ${SOURCE_DIR}/*.h)
set(included)
set(wrong)
foreach(source ${sources})
    file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]+\"core/")
    foreach(line ${lines})
        string(REGEX REPLACE ".*\"core/([A-Za-z0-9_]+)/.*" "\\1" used "${line}")
        if(used STREQUAL FOLDER)
            continue()
        endif()
        list(APPEND included ${used})
        if(NOT used IN_LIST USES)
            get_filename_component(name ${source} NAME)
            list(APPEND wrong "  ${FOLDER}/${name} includes core/${used}/")
        endif()
    endforeach()
endforeach()
foreach(used ${USES})
    if(NOT used IN_LIST included)
        list(APPEND wrong "  ${FOLDER} declares ${used} but includes nothing of it")
    endif()
endforeach()
if(wrong)
    list(JOIN wrong "\n" text)
    message(FATAL_ERROR "src/core/${FOLDER} breaks the layers of src/core/CMakeLists.txt:\n${text}\n"
                        "Move the code to the folder it belongs to, or declare the dependency "
                        "there if it goes the right way.")
endif()
file(WRITE ${STAMP} "checked\n")
