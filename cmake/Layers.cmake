# The layers of the libraries, lowest first. A layer depends only on the layers before it:
# none of its files includes a header of a later layer, and none of its libraries (nor a test
# executable of it) links a library of a later layer. Each entry lists the layer's folders,
# each with the library built from it; folders of one layer may use each other.
set(CORVEL_LAYERS
    "platform=platform"
    "framework=framework"
    "engine=engine"
    "media=media sound=sound net=net"
    "frontend/html=html"
    "game=game"
    "frontend=frontend"
    "program=program")

# Fills <prefix>_folders, <prefix>_libraries (corvel_<name>) and, per folder and library,
# <prefix>_layer_of_<folder or library> (the layer's index).
macro(corvel_read_layers prefix)
    set(${prefix}_folders)
    set(${prefix}_libraries)
    set(index 0)
    foreach(layer IN LISTS CORVEL_LAYERS)
        string(REPLACE " " ";" entries "${layer}")
        foreach(entry IN LISTS entries)
            string(REPLACE "=" ";" pair "${entry}")
            list(GET pair 0 folder)
            list(GET pair 1 library)
            list(APPEND ${prefix}_folders ${folder})
            list(APPEND ${prefix}_libraries corvel_${library})
            set(${prefix}_layer_of_${folder} ${index})
            set(${prefix}_layer_of_corvel_${library} ${index})
        endforeach()
        math(EXPR index "${index} + 1")
    endforeach()
endmacro()

# The layer of a path relative to the source tree (its longest layered folder), or -1; reads
# the lists corvel_read_layers(layers) made in the caller.
macro(corvel_layer_of_path path out)
    set(${out} -1)
    set(best_length 0)
    foreach(folder IN LISTS layers_folders)
        string(LENGTH "${folder}" length)
        if("${path}" MATCHES "^${folder}/" AND length GREATER best_length)
            set(${out} ${layers_layer_of_${folder}})
            set(best_length ${length})
        endif()
    endforeach()
endmacro()

# corvel_set_test_layer(<target> <library>): a test executable belongs to the layer of
# <library> and is checked with the libraries.
function(corvel_set_test_layer target library)
    set_property(TARGET ${target} PROPERTY CORVEL_LAYER ${library})
    set_property(GLOBAL APPEND PROPERTY CORVEL_LAYERED_TESTS ${target})
endfunction()

# Fails the configuration on an upward include or link.
function(corvel_check_layers)
    corvel_read_layers(layers)
    set(problems)

    # Includes: every file of a layered folder, by the folder its header lies in.
    foreach(folder IN LISTS layers_folders)
        file(GLOB_RECURSE files RELATIVE ${PROJECT_SOURCE_DIR}
             ${PROJECT_SOURCE_DIR}/${folder}/*.h ${PROJECT_SOURCE_DIR}/${folder}/*.cpp
             ${PROJECT_SOURCE_DIR}/${folder}/*.c)
        foreach(file IN LISTS files)
            corvel_layer_of_path(${file} file_layer)
            if(NOT file_layer EQUAL layers_layer_of_${folder})
                continue() # a folder of another layer inside this one (frontend/html)
            endif()
            file(STRINGS ${PROJECT_SOURCE_DIR}/${file} includes REGEX "^#include \"[^\"]+\"")
            foreach(line IN LISTS includes)
                string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
                corvel_layer_of_path(${header} header_layer)
                if(header_layer GREATER file_layer)
                    list(APPEND problems "${file} includes ${header}, of a later layer")
                endif()
            endforeach()
        endforeach()
    endforeach()

    # Links: the layered libraries and the test executables that name their layer.
    set(targets ${layers_libraries})
    get_property(test_targets GLOBAL PROPERTY CORVEL_LAYERED_TESTS)
    list(APPEND targets ${test_targets})
    foreach(target IN LISTS targets)
        if(NOT TARGET ${target})
            continue()
        endif()
        if(target IN_LIST layers_libraries)
            set(own ${layers_layer_of_${target}})
        else()
            get_property(layer_library TARGET ${target} PROPERTY CORVEL_LAYER)
            set(own ${layers_layer_of_${layer_library}})
        endif()
        get_target_property(type ${target} TYPE)
        set(linked)
        if(NOT type STREQUAL "INTERFACE_LIBRARY")
            get_target_property(direct ${target} LINK_LIBRARIES)
            if(direct)
                list(APPEND linked ${direct})
            endif()
        endif()
        get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
        if(interface)
            list(APPEND linked ${interface})
        endif()
        foreach(library IN LISTS linked)
            if(library IN_LIST layers_libraries AND layers_layer_of_${library} GREATER own)
                list(APPEND problems "${target} links ${library}, of a later layer")
            endif()
        endforeach()
    endforeach()

    if(problems)
        list(REMOVE_DUPLICATES problems)
        list(JOIN problems "\n  " text)
        message(FATAL_ERROR "Layering (cmake/Layers.cmake) broken:\n  ${text}")
    endif()
endfunction()
