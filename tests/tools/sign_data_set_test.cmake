# sign_data_set end to end: sign a small game folder, check it, then change a secure and a
# warning file and see the check report them; signing again is refused while backups exist.
set(dir ${WORK}/sign_data_set_test)
file(REMOVE_RECURSE ${dir})
file(WRITE ${dir}/game/data/sound/gun.wav "RIFF....WAVEdata")
file(WRITE ${dir}/game/data/planes/camel.ini "[Camel]\nspeed=90\n")
file(WRITE ${dir}/game/data/model.bin "model bytes 0123456789")
file(WRITE ${dir}/list.ini "[warning]\ndata/sound/gun.wav=BINARY\n"
                           "[secure]\ndata/planes/camel.ini=TEXT\n"
                           "[encrypt]\ndata/model.bin=BINARY\n")

# Runs the tool, expects its exit status, and leaves its output in `out`.
function(run expected)
    execute_process(COMMAND ${TOOL} ${ARGN} WORKING_DIRECTORY ${dir} RESULT_VARIABLE rc
                    OUTPUT_VARIABLE stdout ERROR_VARIABLE stderr)
    if(NOT rc EQUAL expected)
        message(FATAL_ERROR "sign_data_set ${ARGN}: status ${rc}, expected ${expected}\n"
                            "${stdout}${stderr}")
    endif()
    set(out "${stdout}${stderr}" PARENT_SCOPE)
endfunction()

function(expect_output text)
    string(FIND "${out}" "${text}" at)
    if(at EQUAL -1)
        message(FATAL_ERROR "missing \"${text}\" in:\n${out}")
    endif()
endfunction()

run(0 game list.ini)
expect_output("signed 3 files")
expect_output("ok (deciphered)")
foreach(name demo1.bin demo2.bin demo3.bin model.bin.bak)
    if(NOT EXISTS ${dir}/game/data/${name})
        message(FATAL_ERROR "data/${name} was not written")
    endif()
endforeach()
file(SIZE ${dir}/game/data/demo2.bin key_size)
if(NOT key_size EQUAL 38)
    message(FATAL_ERROR "the public key has ${key_size} bytes")
endif()
file(READ ${dir}/game/data/model.bin.bak backup)
if(NOT backup STREQUAL "model bytes 0123456789")
    message(FATAL_ERROR "the backup is not the plain file")
endif()

run(0 --check game list.ini)

file(APPEND ${dir}/game/data/planes/camel.ini "speed=91\n")
file(APPEND ${dir}/game/data/sound/gun.wav "X")
run(1 --check game list.ini)
expect_output("REFUSED")
expect_output("CHANGED")

run(1 game list.ini)
expect_output("model.bin.bak exists")
run(2)
file(REMOVE_RECURSE ${dir})
