# The layers of the source tree, checked when the build is configured:
#
#   app, cli -> workflows -> model -> link -> platform -> core
#
# songconv stands alone; the keyboard simulator (kbdsim) sits beside the
# program: it uses core, link's codec and platform's driver layer, and only
# workflows and above may use it. A layer may use its own folder and the
# layers below it. Two things are checked:
#   - every #include "folder/..." in a layer's folder names a folder the layer
#     may use;
#   - every library a layered target links is of its own layer or below;
#   - only app links Qt Widgets.
# A violation stops the configuration with the file or target that broke it.
# Each layer's library also links on its own (tests/layers).

set(QEL_LAYER_RANK_core 0)
set(QEL_LAYER_RANK_platform 10)
set(QEL_LAYER_RANK_link 20)
set(QEL_LAYER_RANK_model 30)
set(QEL_LAYER_RANK_kbdsim 35)
set(QEL_LAYER_RANK_workflows 40)
set(QEL_LAYER_RANK_app 50)
set(QEL_LAYER_RANK_cli 50)

# Marks `target` as part of `layer`.
function(qel_layer target layer)
    if(NOT DEFINED QEL_LAYER_RANK_${layer})
        message(FATAL_ERROR "qel_layer: unknown layer '${layer}' for ${target}")
    endif()
    set_property(TARGET ${target} PROPERTY QEL_LAYER ${layer})
    set_property(GLOBAL APPEND PROPERTY QEL_LAYERED_TARGETS ${target})
endfunction()

# Whether code of layer `from` may use folder `to` (a layer or songconv).
function(_qel_may_use from to result)
    set(allowed FALSE)
    if(to STREQUAL from)
        set(allowed TRUE)
    elseif(to STREQUAL "songconv")
        # The song converter is a library of its own, used by the data items.
        if(QEL_LAYER_RANK_${from} GREATER_EQUAL QEL_LAYER_RANK_model)
            set(allowed TRUE)
        endif()
    elseif(DEFINED QEL_LAYER_RANK_${to})
        if(QEL_LAYER_RANK_${to} LESS QEL_LAYER_RANK_${from})
            set(allowed TRUE)
        endif()
        # The data items never use the simulator, nor the simulator them.
        if(to STREQUAL "model" AND from STREQUAL "kbdsim")
            set(allowed FALSE)
        endif()
    endif()
    set(${result} ${allowed} PARENT_SCOPE)
endfunction()

# The include check over the files of one folder.
function(_qel_check_includes layer folder)
    file(GLOB_RECURSE files "${folder}/*.h" "${folder}/*.cpp")
    foreach(file IN LISTS files)
        file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z]+/")
        foreach(line IN LISTS lines)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([a-z]+)/.*" "\\1" used "${line}")
            _qel_may_use(${layer} ${used} allowed)
            if(NOT allowed)
                file(RELATIVE_PATH shown "${PROJECT_SOURCE_DIR}" "${file}")
                message(FATAL_ERROR
                    "Layer check: ${shown} (layer ${layer}) includes \"${used}/\", "
                    "which that layer may not use.")
            endif()
        endforeach()
    endforeach()
endfunction()

# Runs every check; called once all targets exist.
function(qel_check_layers)
    foreach(layer core platform link model workflows app cli)
        if(IS_DIRECTORY "${PROJECT_SOURCE_DIR}/src/${layer}")
            _qel_check_includes(${layer} "${PROJECT_SOURCE_DIR}/src/${layer}")
        endif()
    endforeach()
    _qel_check_includes(kbdsim "${PROJECT_SOURCE_DIR}/kbdsim")

    file(GLOB_RECURSE songconv_files "${PROJECT_SOURCE_DIR}/songconv/*.h"
         "${PROJECT_SOURCE_DIR}/songconv/*.cpp")
    foreach(file IN LISTS songconv_files)
        file(STRINGS "${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[a-z]+/")
        foreach(line IN LISTS lines)
            if(NOT line MATCHES "\"songconv/")
                message(FATAL_ERROR "Layer check: ${file} includes outside songconv: ${line}")
            endif()
        endforeach()
    endforeach()

    get_property(targets GLOBAL PROPERTY QEL_LAYERED_TARGETS)
    foreach(target IN LISTS targets)
        get_target_property(layer ${target} QEL_LAYER)
        get_target_property(links ${target} LINK_LIBRARIES)
        get_target_property(interface_links ${target} INTERFACE_LINK_LIBRARIES)
        foreach(dependency IN LISTS links interface_links)
            if(dependency STREQUAL "Qt6::Widgets" AND NOT layer STREQUAL "app")
                message(FATAL_ERROR "Layer check: ${target} (layer ${layer}) links Qt Widgets; only app may.")
            endif()
            if(NOT TARGET ${dependency})
                continue()
            endif()
            get_target_property(used ${dependency} QEL_LAYER)
            if(used)
                _qel_may_use(${layer} ${used} allowed)
                if(NOT allowed)
                    message(FATAL_ERROR
                        "Layer check: ${target} (layer ${layer}) links ${dependency} "
                        "(layer ${used}), which that layer may not use.")
                endif()
            endif()
        endforeach()
    endforeach()
endfunction()
