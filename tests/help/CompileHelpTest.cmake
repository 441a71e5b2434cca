# Runs the help compiler's wrapper on good and broken projects: a broken one must fail the
# build and leave no help file behind, whatever chmcmd's exit code says.

foreach(variable CHMCMD WRAPPER WORK_DIR)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "CompileHelpTest.cmake needs -D${variable}=...")
    endif()
endforeach()

set(page "<html><head><title>Page</title></head><body><p>Text</p></body></html>\n")
set(contents "<UL><LI><OBJECT type=\"text/sitemap\"><param name=\"Name\" value=\"Page\"><param name=\"Local\" value=\"page.html\"></OBJECT></UL>\n")

function(compile case project expect_success)
    set(folder "${WORK_DIR}/${case}")
    set(output "${folder}/bin/case.chm")
    file(REMOVE_RECURSE "${folder}")
    file(WRITE "${folder}/source/page.html" "${page}")
    file(WRITE "${folder}/source/contents.hhc" "${contents}")
    file(WRITE "${folder}/source/case.hhp" "${project}")
    # A help file from an earlier build must not survive a failed one.
    file(WRITE "${output}" "stale")
    execute_process(
        COMMAND "${CMAKE_COMMAND}" "-DCHMCMD=${CHMCMD}" "-DSOURCE_DIR=${folder}/source"
                "-DSTAGING_DIR=${folder}/staging" -DPROJECT=case.hhp "-DOUTPUT=${output}"
                -P "${WRAPPER}"
        RESULT_VARIABLE result
        OUTPUT_VARIABLE log
        ERROR_VARIABLE log)
    if(expect_success)
        if(NOT result EQUAL 0 OR NOT EXISTS "${output}")
            message(FATAL_ERROR "${case}: a good project did not compile:\n${log}")
        endif()
        file(SIZE "${output}" size)
        if(size LESS 1000)
            message(FATAL_ERROR "${case}: the stale help file was not replaced")
        endif()
    else()
        if(result EQUAL 0)
            message(FATAL_ERROR "${case}: the wrapper accepted a broken project:\n${log}")
        endif()
        if(EXISTS "${output}" OR EXISTS "${folder}/staging/case.chm")
            message(FATAL_ERROR "${case}: a failed compile left a help file behind")
        endif()
    endif()
    message(STATUS "${case}: as expected")
endfunction()

set(options "[OPTIONS]\nCompiled file=case.chm\nDefault topic=page.html\nTitle=Case\n")

compile(good_project
    "${options}Contents file=contents.hhc\n\n[FILES]\npage.html\n" TRUE)
compile(missing_contents_file_exits_0_with_an_error_line
    "${options}Contents file=nothere.hhc\n\n[FILES]\npage.html\n" FALSE)
compile(missing_page_crashes_chmcmd
    "${options}Contents file=contents.hhc\n\n[FILES]\npage.html\nmissing.html\n" FALSE)
compile(map_name_without_alias
    "${options}Contents file=contents.hhc\n\n[FILES]\npage.html\n\n[MAP]\n#define IDH_NONE 10\n" FALSE)
