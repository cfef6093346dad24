# Signs the generated set: runs sign_data_set with its report in a file, shown only on failure.
execute_process(COMMAND ${TOOL} ${FOLDER} ${LIST} RESULT_VARIABLE rc OUTPUT_FILE ${REPORT}
                ERROR_FILE ${REPORT})
if(NOT rc EQUAL 0)
    file(READ ${REPORT} report)
    message(FATAL_ERROR "signing the demo data set failed:\n${report}")
endif()
