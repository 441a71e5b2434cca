# Compiles a help project with chmcmd. Run as
#   cmake -DCHMCMD=... -DSOURCE_DIR=... -DSTAGING_DIR=... -DPROJECT=x.hhp -DOUTPUT=.../x.chm
#         -P CompileHelp.cmake
# chmcmd's exit code cannot be trusted: a missing contents file prints "Error:" and exits 0,
# a missing page crashes and leaves half a file behind. Any of these fails the build, and
# no help file is left where the program would find it.

foreach(variable CHMCMD SOURCE_DIR STAGING_DIR PROJECT OUTPUT)
    if(NOT DEFINED ${variable})
        message(FATAL_ERROR "CompileHelp.cmake needs -D${variable}=...")
    endif()
endforeach()

get_filename_component(compiled_name "${OUTPUT}" NAME)
set(compiled "${STAGING_DIR}/${compiled_name}")

# chmcmd writes the file relative to its working folder and resolves #include there too, so
# it runs in a fresh copy of the sources.
file(REMOVE_RECURSE "${STAGING_DIR}")
file(COPY "${SOURCE_DIR}/" DESTINATION "${STAGING_DIR}")
file(REMOVE "${OUTPUT}")

execute_process(
    COMMAND "${CHMCMD}" "${PROJECT}"
    WORKING_DIRECTORY "${STAGING_DIR}"
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE errors)

set(log "${output}\n${errors}")
string(REGEX MATCHALL "(^|\n)[ \t]*Error:[^\n]*" error_lines "${log}")

set(failure "")
if(NOT result STREQUAL "0")
    set(failure "chmcmd ended with ${result}")
elseif(error_lines)
    set(failure "chmcmd reported errors")
elseif(NOT EXISTS "${compiled}")
    set(failure "chmcmd wrote no ${compiled_name}")
endif()

if(failure)
    file(REMOVE "${compiled}" "${OUTPUT}")
    message(FATAL_ERROR "${failure} for ${PROJECT}:\n${log}")
endif()

get_filename_component(output_folder "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${output_folder}")
file(COPY_FILE "${compiled}" "${OUTPUT}")
